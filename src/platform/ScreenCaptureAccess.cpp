#include "platform/ScreenCaptureAccess.h"

std::unique_ptr<ScreenCaptureAccess> ScreenCaptureAccess::createDefault()
{
    return std::make_unique<LinuxScreenCaptureAccess>();
}
