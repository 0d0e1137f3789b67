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
    T* GetAt(std::size_t i) const { return records[i].get(); }

protected:
    // One byte more than the table: a last line without its CR LF gets its
    // terminating NUL there instead of past the end.
    std::unique_ptr<char[]> textCopy;
    std::size_t textLength = 0;
    std::vector<std::unique_ptr<T>> records;  // after textCopy: they view it

private:
    static bool IsDataRow(const char* line, std::size_t n);
    void Append(char* line, std::size_t n);
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
void CCsvReader<T>::Append(char* line, std::size_t n)
{
    // The record array grows a hundred slots at a time, or by its own size
    // once larger: a long table is then not copied over and over.
    if (records.size() == records.capacity())
        records.reserve(records.size() + std::max<std::size_t>(100, records.size()));
    records.push_back(std::make_unique<T>(line, n));
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

    char* const begin = textCopy.get();
    char* const end = begin + length;
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
            Append(p, n);
        if (!terminated)
            return;
        p = cr + 2;
    }
}

}  // namespace tarnwick
