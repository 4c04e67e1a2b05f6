#pragma once

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace quillsim {

// Namespace-aware reading of SOAP documents with pugixml, which itself knows only prefixes: every element
// is matched by its namespace URI, so the prefixes a sender picks carry no meaning.

// An XML qualified name with its prefix resolved. An unbound prefix leaves uri empty and keeps the text as
// written in local, so it names nothing of ours but still shows in the log.
struct QualifiedName {
    std::string uri;
    std::string local;
    bool operator==(const QualifiedName&) const = default;
};

std::string_view trim_blanks(std::string_view text);

// The URI a prefix stands for at `node`: the nearest declaration on it or an ancestor. Nothing for an
// unbound prefix; the empty prefix with no default namespace is "no namespace".
std::optional<std::string> namespace_of(pugi::xml_node node, std::string_view prefix);
// A name as written at `scope` ("p:local" or "local"), resolved.
QualifiedName resolve_name(pugi::xml_node scope, std::string_view written);

bool is_element(pugi::xml_node node, std::string_view uri, std::string_view local);
pugi::xml_node child_element(pugi::xml_node parent, std::string_view uri, std::string_view local);
pugi::xml_node first_child_element(pugi::xml_node parent);
// The element's text, blanks around it removed.
std::string text_of(pugi::xml_node node);

void add_text_child(pugi::xml_node parent, const char* name, std::string_view value);
// Without indentation, UTF-8, with the declaration the document holds.
std::string document_text(const pugi::xml_document& doc);

} // namespace quillsim
