#include "commands/camera_changes.h"

#include <algorithm>

#include "commands/session.h"

namespace quillctl {

std::optional<onvif::Credentials> CameraCredentials(const onvif::CredentialBook& book, const ChangeItem& item,
                                                    const std::string& planUser) {
    std::optional<Mac> mac;
    if (item.mac != Mac{})
        mac = item.mac;
    std::optional<onvif::Credentials> credentials = book.For(item.camera ? item.camera->endpoint : "", mac);
    if (credentials && !planUser.empty())
        credentials->user = planUser;
    return credentials;
}

void UseCamerasOf(ChangeRun& run, const std::vector<ChangeItem>& items, Host& host, double waitSeconds,
                  bool reboot, std::ostream& err, ProgressLine* progress) {
    if (std::none_of(items.begin(), items.end(),
                     [](const ChangeItem& item) { return item.camera.has_value(); }))
        return;
    CameraServices services{host.Http(),
                            host.PlatformCrypto(),
                            SecondsToDuration(waitSeconds),
                            reboot,
                            host.CameraCallsInline(),
                            [&err, progress](const std::string& line) {
                                if (progress)
                                    progress->Clear();
                                err << "quillctl: " << line << '\n';
                            }};
    run.UseCameras(std::move(services));
}

} // namespace quillctl
