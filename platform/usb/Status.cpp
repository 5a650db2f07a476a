// SPDX-License-Identifier: GPL-3.0-or-later
// Names of the USB layer's status codes.
#include "platform/usb/Usb.h"

namespace usb {

const char* statusText(Status status) {
    switch (status) {
    case kSuccess:
        return "success";
    case kErrorIo:
        return "input/output error";
    case kErrorInvalidParam:
        return "invalid parameter";
    case kErrorAccess:
        return "access denied";
    case kErrorNoDevice:
        return "no device";
    case kErrorNotFound:
        return "not found";
    case kErrorBusy:
        return "busy";
    case kErrorTimeout:
        return "timed out";
    case kErrorOverflow:
        return "overflow";
    case kErrorPipe:
        return "pipe error";
    case kErrorInterrupted:
        return "interrupted";
    case kErrorNoMemory:
        return "out of memory";
    case kErrorNotSupported:
        return "not supported";
    case kErrorAborted:
        return "aborted";
    case kErrorNotOpen:
        return "not open";
    default:
        return "other error";
    }
}

} // namespace usb
