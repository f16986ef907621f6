#include "platform/FileFaults.h"

#include <cerrno>

namespace lw::fs {
namespace {

TFaultHook g_hook = nullptr;
void* g_hookContext = nullptr;
bool g_unnamedAllowed = true;

} // namespace

void SetFaultHook(TFaultHook hook, void* context)
{
    g_hook = hook;
    g_hookContext = context;
}

void AllowUnnamedFiles(bool allowed)
{
    g_unnamedAllowed = allowed;
}

bool UnnamedFilesAllowed()
{
    return g_unnamedAllowed;
}

bool detail::Injected(TFileOp op)
{
    if (!g_hook)
        return false;
    const int error = g_hook(op, g_hookContext);
    if (error == 0)
        return false;
    errno = error;
    return true;
}

} // namespace lw::fs
