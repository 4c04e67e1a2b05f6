#include "fake_camera.h"

#include <ctime>
#include <utility>

#include <openssl/evp.h>
#include <pugixml.hpp>

#include "onvif/http_digest.h"
#include "onvif/soap.h"
#include "onvif/ws_security.h"
#include "onvif/xml_reading.h"

namespace quillctl::testing {

namespace {

const char* const kOpen = R"(<?xml version="1.0" encoding="UTF-8"?>)"
                          R"(<env:Envelope xmlns:env="http://www.w3.org/2003/05/soap-envelope" )"
                          R"(xmlns:tds="http://www.onvif.org/ver10/device/wsdl" )"
                          R"(xmlns:tt="http://www.onvif.org/ver10/schema" )"
                          R"(xmlns:ter="http://www.onvif.org/ver10/error"><env:Body>)";
const char* const kClose = "</env:Body></env:Envelope>";

onvif::HttpResponse Soap(int status, const std::string& body) {
    onvif::HttpResponse response;
    response.status = status;
    response.headers = {{"Content-Type", "application/soap+xml"}};
    response.body = kOpen + body + kClose;
    return response;
}

onvif::HttpResponse NotAuthorized() {
    return Soap(400, "<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode><env:Value>"
                     "ter:NotAuthorized</env:Value></env:Subcode></env:Code><env:Reason><env:Text "
                     "xml:lang=\"en\">Sender not authorized</env:Text></env:Reason></env:Fault>");
}

std::string Decode64(const std::string& text) {
    std::string raw(text.size(), '\0');
    int size =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(raw.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    // EVP_DecodeBlock counts the padding as bytes.
    size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    raw.resize(size < static_cast<int>(padding) ? 0 : static_cast<size_t>(size) - padding);
    return raw;
}

// A parameter of an Authorization header: name="value" or name=value.
std::string Param(const std::string& header, const std::string& name) {
    size_t at = 0;
    while ((at = header.find(name + "=", at)) != std::string::npos) {
        if (at == 0 || header[at - 1] == ' ' || header[at - 1] == ',')
            break;
        ++at;
    }
    if (at == std::string::npos)
        return "";
    at += name.size() + 1;
    if (header[at] == '"')
        return header.substr(at + 1, header.find('"', at + 1) - at - 1);
    return header.substr(at, header.find_first_of(", ", at) - at);
}

} // namespace

bool FakeCameras::TokenValid(const FakeCamera& camera, const std::string& body) {
    pugi::xml_document document;
    document.load_string(body.c_str());
    pugi::xml_node header = xml::Child(document.document_element(), onvif::kSoapEnvelope, "Header");
    pugi::xml_node token =
        xml::Child(xml::Child(header, onvif::kSecurityExt, "Security"), onvif::kSecurityExt, "UsernameToken");
    std::string user = xml::TrimmedText(xml::Child(token, onvif::kSecurityExt, "Username"));
    std::string digest = xml::TrimmedText(xml::Child(token, onvif::kSecurityExt, "Password"));
    std::string nonce = Decode64(xml::TrimmedText(xml::Child(token, onvif::kSecurityExt, "Nonce")));
    std::string created = xml::TrimmedText(xml::Child(token, onvif::kSecurityUtility, "Created"));
    std::string expected =
        crypto_.Base64(crypto_.Digest(onvif::Hash::Sha1, onvif::BytesOf(nonce + created + camera.password)));
    // Its own clock, give or take a minute, as cameras check it.
    auto now = std::chrono::system_clock::now() + camera.clockOffset;
    bool fresh = false;
    for (int skew = -60; skew <= 60 && !fresh; ++skew)
        fresh = onvif::UtcText(now + std::chrono::seconds(skew)) == created;
    return user == camera.user && digest == expected && fresh;
}

bool FakeCameras::DigestValid(const FakeCamera& camera, const std::string& authorization) {
    auto md5 = [&](const std::string& text) {
        return onvif::HexLower(crypto_.Digest(onvif::Hash::Md5, onvif::BytesOf(text)));
    };
    std::string ha1 = md5(camera.user + ":cam:" + camera.password);
    std::string ha2 = md5("POST:" + Param(authorization, "uri"));
    std::string expected = md5(ha1 + ":n0nce:" + Param(authorization, "nc") + ":" +
                               Param(authorization, "cnonce") + ":auth:" + ha2);
    return Param(authorization, "username") == camera.user && Param(authorization, "response") == expected;
}

onvif::HttpResponse FakeCameras::Answer(FakeCamera& camera, const onvif::HttpRequest& request) {
    if (camera.redirectStatus) {
        onvif::HttpResponse response;
        response.status = camera.redirectStatus;
        response.headers = {{"Location", "http://203.0.113.9/"}};
        return response;
    }
    pugi::xml_document document;
    document.load_string(request.body.c_str());
    pugi::xml_node body = xml::Child(document.document_element(), onvif::kSoapEnvelope, "Body");
    std::string operation(xml::LocalName(body.first_child()));
    if (operation == "GetSystemDateAndTime") {
        std::time_t now =
            std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() + camera.clockOffset);
        std::tm utc{};
        gmtime_r(&now, &utc);
        char text[512];
        std::snprintf(
            text, sizeof(text),
            "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:UTCDateTime><tt:Time><tt:Hour>%d"
            "</tt:Hour><tt:Minute>%d</tt:Minute><tt:Second>%d</tt:Second></tt:Time><tt:Date><tt:Year>%d"
            "</tt:Year><tt:Month>%d</tt:Month><tt:Day>%d</tt:Day></tt:Date></tt:UTCDateTime>"
            "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>",
            utc.tm_hour, utc.tm_min, utc.tm_sec, utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday);
        return Soap(200, text);
    }
    const bool open = operation == "GetDeviceInformation" && camera.infoWithoutAuth;
    if (!open && camera.auth == CameraAuth::HttpDigest) {
        std::vector<std::string> authorization = onvif::HeaderValues(request.headers, "Authorization");
        if (authorization.empty() || !DigestValid(camera, authorization.front())) {
            onvif::HttpResponse challenge;
            challenge.status = 401;
            challenge.headers = {{"WWW-Authenticate", "Basic realm=\"cam\""},
                                 {"WWW-Authenticate", "Digest realm=\"cam\", qop=\"auth\", nonce=\"n0nce\""}};
            return challenge;
        }
    } else if (!open && !TokenValid(camera, request.body)) {
        return NotAuthorized();
    }
    if (operation == "GetDeviceInformation")
        return Soap(200, "<tds:GetDeviceInformationResponse><tds:Manufacturer>" + camera.manufacturer +
                             "</tds:Manufacturer><tds:Model>" + camera.model +
                             "</tds:Model><tds:FirmwareVersion>" + camera.firmware +
                             "</tds:FirmwareVersion><tds:SerialNumber>" + camera.serial +
                             "</tds:SerialNumber><tds:HardwareId>HW1</tds:HardwareId>"
                             "</tds:GetDeviceInformationResponse>");
    if (operation == "GetNetworkInterfaces") {
        std::string setting = "<tt:Address>" + camera.ip + "</tt:Address><tt:PrefixLength>" +
                              std::to_string(camera.prefixLength) + "</tt:PrefixLength>";
        return Soap(200,
                    "<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces token=\"eth0\"><tt:Enabled>true"
                    "</tt:Enabled><tt:Info><tt:Name>eth0</tt:Name><tt:HwAddress>" +
                        camera.mac +
                        "</tt:HwAddress></tt:Info><tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Config>" +
                        (camera.dhcp ? "<tt:FromDHCP>" + setting + "</tt:FromDHCP>"
                                     : "<tt:Manual>" + setting + "</tt:Manual>") +
                        "<tt:DHCP>" + (camera.dhcp ? "true" : "false") +
                        "</tt:DHCP></tt:Config></tt:IPv4></tds:NetworkInterfaces>"
                        "</tds:GetNetworkInterfacesResponse>");
    }
    if (operation == "GetNetworkDefaultGateway")
        return Soap(200, "<tds:GetNetworkDefaultGatewayResponse><tds:NetworkGateway><tt:IPv4Address>" +
                             camera.gateway +
                             "</tt:IPv4Address></tds:NetworkGateway></tds:GetNetworkDefaultGatewayResponse>");
    if (operation == "SetNetworkInterfaces") {
        pugi::xml_node manual = body.first_child();
        camera.ip = xml::TrimmedText(
            manual.first_element_by_path("tds:NetworkInterface/tt:IPv4/tt:Manual/tt:Address"));
        camera.dhcp = false;
        (camera.rebootNeeded ? camera.pendingIp : camera.movingTo) = camera.ip;
        return Soap(200, std::string("<tds:SetNetworkInterfacesResponse><tds:RebootNeeded>") +
                             (camera.rebootNeeded ? "true" : "false") +
                             "</tds:RebootNeeded></tds:SetNetworkInterfacesResponse>");
    }
    if (operation == "SetNetworkDefaultGateway") {
        camera.gateway = xml::TrimmedText(body.first_child().first_child());
        return Soap(200, "<tds:SetNetworkDefaultGatewayResponse/>");
    }
    if (operation == "SystemReboot") {
        camera.movingTo = camera.pendingIp;
        return Soap(200, "<tds:SystemRebootResponse><tds:Message>Rebooting in 5 "
                         "s</tds:Message></tds:SystemRebootResponse>");
    }
    return Soap(400, "<env:Fault><env:Code><env:Value>env:Receiver</env:Value></env:Code></env:Fault>");
}

onvif::HttpResponse FakeCameras::Post(const onvif::HttpRequest& request, const onvif::HttpLimits&) {
    std::lock_guard lock(mutex_);
    SeenRequest seen{request.url, "", request.body};
    if (auto values = onvif::HeaderValues(request.headers, "Authorization"); !values.empty())
        seen.authorization = values.front();
    requests_.push_back(seen);
    auto camera = cameras_.find(request.url);
    if (camera == cameras_.end()) {
        onvif::HttpResponse response;
        response.failure = onvif::HttpFailure::Connect;
        response.error = "Could not connect to server";
        return response;
    }
    onvif::HttpResponse response = Answer(camera->second, request);
    if (std::string to = std::exchange(camera->second.movingTo, ""); !to.empty()) {
        std::string from = camera->first, moved = from;
        std::string old = moved.substr(7, moved.find_first_of(":/", 7) - 7); // after "http://"
        moved.replace(7, old.size(), to);
        FakeCamera taken = std::move(camera->second);
        cameras_.erase(camera);
        cameras_[moved] = std::move(taken);
        if (onMoved)
            onMoved(from, moved);
    }
    return response;
}

std::vector<std::string> FakeCameras::Operations() const {
    std::vector<std::string> operations;
    for (const SeenRequest& request : Requests()) {
        size_t body = request.body.find(":Body><");
        size_t name = request.body.find(':', body + 7);
        size_t end = request.body.find_first_of(" />", name);
        if (body != std::string::npos && name != std::string::npos)
            operations.push_back(request.body.substr(name + 1, end - name - 1) + " " + request.url);
    }
    return operations;
}

std::vector<SeenRequest> FakeCameras::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string FakeCameras::AllSent() const {
    std::string all;
    for (const SeenRequest& request : Requests())
        all += request.url + "\n" + request.authorization + "\n" + request.body + "\n";
    return all;
}

} // namespace quillctl::testing
