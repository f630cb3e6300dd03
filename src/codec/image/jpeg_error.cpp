#include "codec/image/jpeg_error.h"

namespace kestrova::image {
namespace {

void ErrorExit(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int msgLevel) {
    if (msgLevel < 0)
        cinfo->err->num_warnings++;
}

void OutputMessage(j_common_ptr) {}

void CheckScans(j_common_ptr cinfo) {
    auto* guard = reinterpret_cast<JpegScanGuard*>(cinfo->progress);
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > guard->maxScans) {
        guard->tripped = true;
        cinfo->err->error_exit(cinfo);
    }
}

} // namespace

jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager) {
    jpeg_error_mgr* err = jpeg_std_error(&manager.pub);
    err->error_exit = ErrorExit;
    err->emit_message = EmitMessage;
    err->output_message = OutputMessage;
    return err;
}

void InstallJpegScanGuard(jpeg_decompress_struct& cinfo, JpegScanGuard& guard, int maxScans) {
    guard.pub.progress_monitor = CheckScans;
    guard.maxScans = maxScans;
    guard.tripped = false;
    cinfo.progress = &guard.pub;
}

} // namespace kestrova::image
