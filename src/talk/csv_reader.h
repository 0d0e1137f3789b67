// A reader of comma-separated tables into records of type T. The table's
// bytes are copied once; records keep views into that copy, where every
// separating comma and every line's CR has been replaced by a NUL byte.
//
// T is built from one line (its start in the copy and its length in bytes)
// and splits that line into fields itself.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace tarnwick {

template <typename T>
class CCsvReader {
public:
    CCsvReader() = default;
    CCsvReader(const CCsvReader&) = delete;
    CCsvReader& operator=(const CCsvReader&) = delete;
    virtual ~CCsvReader() = default;

    // Copies the bytes and makes one record for every data row, in place
    // of any earlier ones: a line ended by CR LF whose first field holds
    // only digits and minus signs.
    void Parse(const std::uint8_t* data, std::size_t length);

    std::size_t GetCount() const { return records.size(); }
    // The records are the reader's to hand out: a const reader still lets
    // its users fill in what they keep in a record.
    T* GetAt(std::size_t i) const { return &records[i]; }

protected:
    // One byte more than the table: a last line without its CR LF gets its
    // terminating NUL there instead of past the end.
    std::unique_ptr<char[]> textCopy;
    std::size_t textLength = 0;
    // After textCopy, which they view; one block, counted before it is
    // filled, so that no record moves once made.
    mutable std::vector<T> records;

    // Takes what another reader parsed, records and the text they view,
    // leaving it this one's.
    void SwapParsed(CCsvReader& other)
    {
        textCopy.swap(other.textCopy);
        std::swap(textLength, other.textLength);
        records.swap(other.records);
    }

private:
    static bool IsDataRow(const char* line, std::size_t n);
    // Calls take(line, length) for every data row in order.
    template <typename Take>
    void ForEachRow(Take take);
};

template <typename T>
bool CCsvReader<T>::IsDataRow(const char* line, std::size_t n)
{
    // The first field must end in a comma before the line or a NUL byte
    // ends, and hold only digits and minus signs: this drops the heading
    // and note rows. An empty first field passes.
    std::size_t i = 0;
    for (; i < n && line[i] != '\0' && line[i] != ','; ++i) {
        if (!((line[i] >= '0' && line[i] <= '9') || line[i] == '-'))
            return false;
    }
    return i < n && line[i] == ',';
}

template <typename T>
void CCsvReader<T>::Parse(const std::uint8_t* data, std::size_t length)
{
    records.clear();  // they view the copy about to go
    textCopy = std::make_unique_for_overwrite<char[]>(length + 1);
    textLength = length;
    std::copy(data, data + length, reinterpret_cast<std::uint8_t*>(textCopy.get()));
    textCopy[length] = '\0';
    if (length == 0 || textCopy[0] == '\0')
        return;
    // The rows are counted first: a record changes only its own line, so
    // the second walk finds the same rows.
    std::size_t rows = 0;
    ForEachRow([&rows](char*, std::size_t) { ++rows; });
    records.reserve(rows);
    ForEachRow([this](char* line, std::size_t n) { records.emplace_back(line, n); });
}

template <typename T>
template <typename Take>
void CCsvReader<T>::ForEachRow(Take take)
{
    char* const begin = textCopy.get();
    char* const end = begin + textLength;
    char* p = begin;
    while (p < end) {
        // A CR or LF on its own is ordinary line content.
        char* cr = nullptr;
        for (char* q = p; q + 1 < end; ++q) {
            q = static_cast<char*>(std::memchr(q, '\r', static_cast<std::size_t>(end - 1 - q)));
            if (!q)
                break;
            if (q[1] == '\n') {
                cr = q;
                break;
            }
        }
        const bool terminated = cr != nullptr;
        if (!terminated) {
            // Text after the last CR LF is a row like any other, so a table
            // saved without its final line end loses nothing; trailing NUL
            // padding is not.
            if (*p == '\0')
                return;
            cr = end;
        }
        const std::size_t n = static_cast<std::size_t>(cr - p);
        if (n != 0 && IsDataRow(p, n))
            take(p, n);
        if (!terminated)
            return;
        p = cr + 2;
    }
}

}  // namespace tarnwick
