#include "documents/JpegError.h"

namespace lumex::jpeg {

namespace {

// Called from C code: no C++ object lives between here and the setjmp, so
// the jump skips no destructor.
[[noreturn]] void ErrorExit(j_common_ptr common)
{
    auto *manager = reinterpret_cast<TErrorManager *>(common->err);
    (*common->err->format_message)(common, manager->Message);
    std::longjmp(manager->Jump, 1);
}

void EmitMessage(j_common_ptr common, int level)
{
    if (level < 0)
        ErrorExit(common);
    // Trace messages (level >= 0) are for debugging the library; drop them.
}

void OutputMessage(j_common_ptr)
{
    // Never write to stderr; the caller reports the error text.
}

} // namespace

jpeg_error_mgr *Install(TErrorManager &manager)
{
    jpeg_error_mgr *base = jpeg_std_error(&manager.Base);
    base->error_exit = ErrorExit;
    base->emit_message = EmitMessage;
    base->output_message = OutputMessage;
    manager.Message[0] = '\0';
    return base;
}

} // namespace lumex::jpeg
