#include "xml_names.hpp"

#include <sstream>

namespace quillsim {

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kBlanks = " \t\r\n";

} // namespace

std::string_view trim_blanks(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<std::string> namespace_of(pugi::xml_node node, std::string_view prefix) {
    const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (; node.type() == pugi::node_element; node = node.parent()) {
        if (const auto declared = node.attribute(attribute.c_str())) {
            return std::string(declared.value());
        }
    }
    if (prefix == "xml") {
        return std::string(kXmlNamespace);
    }
    if (prefix.empty()) {
        return std::string();
    }
    return std::nullopt;
}

QualifiedName resolve_name(pugi::xml_node scope, std::string_view written) {
    const auto colon = written.find(':');
    const std::string_view prefix =
        colon == std::string_view::npos ? std::string_view() : written.substr(0, colon);
    const std::string_view local = colon == std::string_view::npos ? written : written.substr(colon + 1);
    if (const auto uri = namespace_of(scope, prefix)) {
        return QualifiedName{*uri, std::string(local)};
    }
    return QualifiedName{std::string(), std::string(written)};
}

bool is_element(pugi::xml_node node, std::string_view uri, std::string_view local) {
    return node.type() == pugi::node_element &&
           resolve_name(node, node.name()) == QualifiedName{std::string(uri), std::string(local)};
}

pugi::xml_node child_element(pugi::xml_node parent, std::string_view uri, std::string_view local) {
    for (pugi::xml_node node : parent.children()) {
        if (is_element(node, uri, local)) {
            return node;
        }
    }
    return {};
}

pugi::xml_node first_child_element(pugi::xml_node parent) {
    for (pugi::xml_node node : parent.children()) {
        if (node.type() == pugi::node_element) {
            return node;
        }
    }
    return {};
}

std::string text_of(pugi::xml_node node) { return std::string(trim_blanks(node.text().get())); }

void add_text_child(pugi::xml_node parent, const char* name, std::string_view value) {
    parent.append_child(name).text().set(std::string(value).c_str());
}

std::string document_text(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

} // namespace quillsim
