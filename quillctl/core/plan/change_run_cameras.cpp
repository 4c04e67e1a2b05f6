// The cameras' part of a change run: their device services are slow (seconds per call, a reboot of a
// minute), so each conversation runs on a worker thread and the run's thread, which keeps the 900 ms
// rhythm for our devices, polls for its result. A worker touches only its own camera client.
#include <chrono>

#include "onvif/onvif_search.h"
#include "plan/camera_work.h"
#include "plan/change_run.h"

namespace quillctl {

namespace {

template <class Work> auto Launch(bool inlineCalls, Work work) {
    auto future = std::async(inlineCalls ? std::launch::deferred : std::launch::async, std::move(work));
    if (inlineCalls)
        future.wait();
    return future;
}

// A deferred call (inline) has run already when it was launched.
template <class T> bool Ready(const std::future<T>& future) {
    return future.valid() && future.wait_for(std::chrono::seconds(0)) != std::future_status::timeout;
}

} // namespace

ChangeRun::~ChangeRun() = default;

void ChangeRun::UseCameras(CameraServices services) {
    cameras_.emplace(std::move(services));
    cameraProbes_ = CameraProbes()(wire_, links_, probeWarnings_);
}

void ChangeRun::RetireCamera(size_t step) {
    auto work = cameraWork_.find(step);
    if (work == cameraWork_.end())
        return;
    retired_.push_back(std::move(work->second));
    cameraWork_.erase(work);
}

void ChangeRun::StartCamera(size_t step) {
    const size_t index = steps_[step].item;
    ChangeItem& item = items_[index];
    if (!cameras_) {
        EndStep(step, ChangeStatus::Skipped, "unsent: no camera service in this run");
        return;
    }
    const std::string& from = reachedIp_[index].empty() ? item.oldIp : reachedIp_[index];
    onvif::AddressRequest request{ParseIpv4(from).value_or(Ipv4{}), steps_[step].target,
                                  item.camera->prefixLength, item.camera->gateway};
    auto work = std::make_unique<CameraWork>();
    try {
        work->client = std::make_unique<onvif::DeviceClient>(cameras_->http, cameras_->crypto,
                                                             cameraXaddr_[index], item.camera->credentials);
        onvif::DeviceClient* client = work->client.get();
        work->change = Launch(cameras_->inlineCalls,
                              [client, request] { return onvif::SendAddressChange(*client, request); });
    } catch (const std::exception& error) {
        EndStep(step, ChangeStatus::Skipped, std::string("unsent: ") + error.what());
        return;
    }
    cameraAsked_ = true;
    if (item.sends++ == 0)
        itemStart_[index] = wire_.Now();
    cameraWork_[step] = std::move(work);
}

void ChangeRun::CheckCameraAt(size_t step, const std::string& xaddr) {
    CameraWork& work = *cameraWork_.at(step);
    const ChangeItem& item = items_[steps_[step].item];
    work.stage = CameraWork::Stage::Checking;
    work.checkedAt = xaddr;
    work.lastCheck = wire_.Now();
    try {
        work.checker = std::make_unique<onvif::DeviceClient>(cameras_->http, cameras_->crypto, xaddr,
                                                             item.camera->credentials);
        onvif::DeviceClient* checker = work.checker.get();
        const Ipv4 target = steps_[step].target;
        work.check = Launch(cameras_->inlineCalls,
                            [checker, target] { return onvif::HoldsAddress(*checker, target); });
    } catch (const std::exception&) {
        work.stage = CameraWork::Stage::Awaiting; // an XAddr it cannot be asked at: wait for another
    }
}

void ChangeRun::PollCameras() {
    std::vector<size_t> steps;
    for (const auto& [step, work] : cameraWork_)
        steps.push_back(step);
    for (size_t step : steps) {
        auto found = cameraWork_.find(step);
        if (found == cameraWork_.end() || phase_[step] != Phase::Sending)
            continue;
        CameraWork& work = *found->second;
        const size_t index = steps_[step].item;
        ChangeItem& item = items_[index];
        switch (work.stage) {
        case CameraWork::Stage::Changing: {
            if (!Ready(work.change))
                break;
            onvif::AddressSent sent = work.change.get();
            if (!sent.ok()) {
                // Refused or unanswered before anything was changed: nothing was asked of the camera.
                if (!sent.changeSent && !onvif::IsAuthError(sent.error)) {
                    if (--item.sends == 0)
                        item.seconds = 0;
                    EndStep(step, ChangeStatus::Skipped, "unsent: " + sent.detail);
                } else {
                    EndStep(step, ChangeStatus::Failed, sent.detail);
                }
                break;
            }
            if (!sent.rebootNeeded) {
                work.stage = CameraWork::Stage::Awaiting;
                break;
            }
            if (!cameras_->reboot) {
                EndStep(step, ChangeStatus::Failed, "reboot needed");
                break;
            }
            if (cameras_->note)
                cameras_->note(DeviceName(item) + " needs a reboot for " + FormatIpv4(steps_[step].target) +
                               ": rebooting it");
            work.stage = CameraWork::Stage::Rebooting;
            onvif::DeviceClient* client = work.client.get();
            work.reboot = Launch(cameras_->inlineCalls, [client] { return client->SystemReboot(); });
            break;
        }
        case CameraWork::Stage::Rebooting: {
            if (!Ready(work.reboot))
                break;
            onvif::Outcome<std::string> reboot = work.reboot.get();
            if (!reboot)
                EndStep(step, ChangeStatus::Failed, onvif::FailureText(reboot, "SystemReboot"));
            else
                work.stage = CameraWork::Stage::Awaiting;
            break;
        }
        case CameraWork::Stage::Awaiting:
            // Seen at its new address: asked there, at most once a period while it does not say so.
            if (!work.seenAt.empty() && wire_.Now() - work.lastCheck >= kSendPeriod)
                CheckCameraAt(step, work.seenAt);
            break;
        case CameraWork::Stage::Checking: {
            if (!Ready(work.check))
                break;
            onvif::Outcome<bool> holds = work.check.get();
            if (onvif::IsAuthError(holds.error)) {
                EndStep(step, ChangeStatus::Failed, onvif::FailureText(holds, "GetNetworkInterfaces"));
            } else if (holds.value && *holds.value) {
                cameraXaddr_[index] = work.checkedAt;
                RetireCamera(step);
                Confirm(step, FormatIpv4(steps_[step].target));
            } else {
                work.stage = CameraWork::Stage::Awaiting; // still starting, or not there yet
            }
            break;
        }
        }
    }
}

void ChangeRun::TakeCamera(const Arrival& arrival, size_t link) {
    if (!cameraProbes_)
        return;
    cameraProbes_->Take(arrival, link, cameraSightings_, [](DeviceChange, int) {});
    for (auto& [step, work] : cameraWork_) {
        const ChangeItem& item = items_[steps_[step].item];
        if (item.link != link || work->stage == CameraWork::Stage::Changing ||
            work->stage == CameraWork::Stage::Rebooting)
            continue;
        const OnvifDevice* seen = cameraSightings_.FindOnvif(item.camera->endpoint, link);
        if (seen != nullptr && !seen->gone && seen->xaddr.host == steps_[step].target)
            work->seenAt = seen->xaddr.text;
    }
    PollCameras();
}

bool ChangeRun::AwaitingCameras() const {
    for (const auto& [step, work] : cameraWork_)
        if (work->stage == CameraWork::Stage::Awaiting || work->stage == CameraWork::Stage::Checking)
            return true;
    return false;
}

} // namespace quillctl
