// The error manager both JPEG directions share. The library's own handler
// ends the process on a bad file; this one jumps back to the caller's
// setjmp instead and keeps the library's text. Warnings (corrupt or
// truncated data, which the library would patch over with grey) count as
// errors: a half-grey photograph is worse than none.
#pragma once

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <string>

namespace lumex::jpeg {

struct TErrorManager
{
    jpeg_error_mgr Base{};
    std::jmp_buf Jump{};
    char Message[JMSG_LENGTH_MAX] = {};
};

// Prepares the manager; its result goes into the (de)compressor's err field
// before the (de)compressor is created.
jpeg_error_mgr *Install(TErrorManager &manager);

inline std::string MessageOf(const TErrorManager &manager)
{
    return manager.Message[0] ? std::string(manager.Message) : std::string("JPEG error");
}

} // namespace lumex::jpeg
