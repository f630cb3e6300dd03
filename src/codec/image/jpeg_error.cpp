#include "codec/image/jpeg_error.h"

#include <jerror.h>

namespace kestrova::image {
namespace {

void ErrorExit(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int msgLevel) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (msgLevel < 0) {
        manager->pub.num_warnings++;
        // Running out of data, or meeting a marker where scan data should
        // be, means the rest of the picture is padding: the frame was cut.
        if (manager->pub.msg_code == JWRN_JPEG_EOF || manager->pub.msg_code == JWRN_HIT_MARKER)
            manager->hitEndOfData = true;
    }
}

void OutputMessage(j_common_ptr) {}

} // namespace

jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager) {
    jpeg_error_mgr* err = jpeg_std_error(&manager.pub);
    err->error_exit = ErrorExit;
    err->emit_message = EmitMessage;
    err->output_message = OutputMessage;
    manager.hitEndOfData = false;
    return err;
}

} // namespace kestrova::image
