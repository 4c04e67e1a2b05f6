#pragma once
// Cameras' device services in memory, behind the HTTP transport quillctl's core uses: each keyed by its
// XAddr, with its own clock, users, way of authenticating and faults. Every request is kept, so tests
// can search them (for the password, for what was sent after a refusal).
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "onvif/crypto.h"
#include "onvif/http_transport.h"

namespace quillctl::testing {

enum class CameraAuth { UsernameToken, HttpDigest };

struct FakeCamera {
    std::string manufacturer = "Acme", model = "Dome 2", firmware = "1.2.3", serial = "SN0001";
    std::string mac = "02:00:00:00:99:01";
    std::string ip = "198.51.100.131";
    int prefixLength = 24;
    bool dhcp = false;
    std::string gateway = "198.51.100.1";
    std::string user = "admin", password = "Sesame-7!";
    CameraAuth auth = CameraAuth::UsernameToken;
    bool infoWithoutAuth = false;        // GetDeviceInformation answered to anyone
    std::chrono::seconds clockOffset{0}; // its clock minus the real one
    bool rebootNeeded = true;
    int redirectStatus = 0; // answer every request with this 3xx
    std::string pendingIp;  // taken at the next SystemReboot
    std::string movingTo;   // where it answers after the answer under way
};

struct SeenRequest {
    std::string url;
    std::string authorization; // the header, empty when none
    std::string body;
};

class FakeCameras : public onvif::HttpTransport {
  public:
    explicit FakeCameras(onvif::Crypto& crypto) : crypto_(crypto) {}
    void Add(const std::string& xaddr, FakeCamera camera) { cameras_[xaddr] = std::move(camera); }
    FakeCamera& operator[](const std::string& xaddr) { return cameras_.at(xaddr); }

    onvif::HttpResponse Post(const onvif::HttpRequest& request, const onvif::HttpLimits& limits) override;

    std::vector<SeenRequest> Requests() const;
    // The operations asked, in order, each as "OPERATION URL".
    std::vector<std::string> Operations() const;
    // Called when a camera takes its new address: its XAddr before and after.
    std::function<void(const std::string& from, const std::string& to)> onMoved;
    // Every byte quillctl sent, for searching.
    std::string AllSent() const;

  private:
    onvif::HttpResponse Answer(FakeCamera& camera, const onvif::HttpRequest& request);
    bool TokenValid(const FakeCamera& camera, const std::string& body);
    bool DigestValid(const FakeCamera& camera, const std::string& authorization);

    onvif::Crypto& crypto_;
    std::map<std::string, FakeCamera> cameras_;
    mutable std::mutex mutex_;
    std::vector<SeenRequest> requests_;
};

} // namespace quillctl::testing
