// Why an operation failed, kept beside its true/false result so that a
// message can name the path and the reason.
#pragma once

#include <string>

namespace tarnwick {

enum class FailureKind {
    kNone,
    kNotFound,  // subject is not in `where` (an entry not in an archive)
    kSystem,    // the system refused: errorNumber, or detail when no errno fits
    kDamaged,   // the data is there but broken: detail says which check failed
};

struct Failure_T {
    FailureKind kind = FailureKind::kNone;
    std::string subject;  // a path (with "/") or an entry name
    std::string where;    // kNotFound: what was searched
    int errorNumber = 0;  // kSystem
    std::string detail;

    explicit operator bool() const { return kind != FailureKind::kNone; }

    // "data/xls/table.dat: No such file or directory",
    // "another_aa_talk.csv is not in archive 1",
    // "data/xls/table.hed: damaged: ...".
    std::string Describe() const;

    static Failure_T NotFound(std::string subject, std::string where);
    static Failure_T System(std::string subject, int errorNumber);
    static Failure_T Damaged(std::string subject, std::string detail);
    // The system would allow it, but this program will not: detail says why
    // ("a symbolic link, not followed").
    static Failure_T Refused(std::string subject, std::string detail);
};

}  // namespace tarnwick
