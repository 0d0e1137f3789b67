#include "host/failure.h"

#include <cstring>

namespace tarnwick {

std::string Failure_T::Describe() const
{
    switch (kind) {
    case FailureKind::kNone:
        return {};
    case FailureKind::kNotFound:
        return subject + " is not in " + where;
    case FailureKind::kSystem:
        return subject + ": " + (errorNumber != 0 ? std::string(std::strerror(errorNumber)) : detail);
    case FailureKind::kDamaged:
        return subject + ": damaged: " + detail;
    }
    return {};
}

Failure_T Failure_T::NotFound(std::string subject, std::string where)
{
    Failure_T f;
    f.kind = FailureKind::kNotFound;
    f.subject = std::move(subject);
    f.where = std::move(where);
    return f;
}

Failure_T Failure_T::System(std::string subject, int errorNumber)
{
    Failure_T f;
    f.kind = FailureKind::kSystem;
    f.subject = std::move(subject);
    f.errorNumber = errorNumber;
    return f;
}

Failure_T Failure_T::Damaged(std::string subject, std::string detail)
{
    Failure_T f;
    f.kind = FailureKind::kDamaged;
    f.subject = std::move(subject);
    f.detail = std::move(detail);
    return f;
}

Failure_T Failure_T::Refused(std::string subject, std::string detail)
{
    Failure_T f = System(std::move(subject), 0);
    f.detail = std::move(detail);
    return f;
}

}  // namespace tarnwick
