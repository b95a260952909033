#pragma once

#include "platform/exception.h"

namespace report {

// Something about the data keeps the report from being made: exit code 1.
class EReportDataError final : public Exception {
public:
    using Exception::Exception;
    const char *className() const override { return "EReportDataError"; }
};

// The command line was wrong: exit code 2.
class EReportUsageError final : public Exception {
public:
    using Exception::Exception;
    const char *className() const override { return "EReportUsageError"; }
};

} // namespace report
