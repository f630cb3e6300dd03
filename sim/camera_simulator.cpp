#include "camera_simulator.h"

#include "server.h"

namespace kestrova::sim {

CameraSimulator::CameraSimulator(SimOptions options)
    : server_(std::make_unique<Server>(std::move(options))) {}

CameraSimulator::~CameraSimulator() = default;

bool CameraSimulator::Start(std::string* error) {
    return server_->Start(error);
}
void CameraSimulator::Stop() {
    server_->Stop();
}
uint16_t CameraSimulator::Port() const {
    return server_->Port();
}

std::string CameraSimulator::BaseUrl() const {
    return "http://" + server_->Options().host + ":" + std::to_string(Port()) + "/";
}

bool CameraSimulator::SetFault(std::string_view name) {
    return server_->SetFault(name);
}
std::string CameraSimulator::StatusJson() const {
    return server_->StatusJson();
}
const SimOptions& CameraSimulator::Options() const {
    return server_->Options();
}

} // namespace kestrova::sim
