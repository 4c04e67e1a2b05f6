#pragma once
// Reading XML that someone else sent (WS-Discovery datagrams, SOAP answers): a real parser, no
// DOCTYPE (so no entity can be declared), a bound on the size and on the nesting, and names compared
// by their namespace, never by the prefix the sender chose.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace quillctl::xml {

inline constexpr int kMaxDepth = 32;

enum class LoadProblem { None, TooLarge, NotWellFormed, Doctype, TooDeep };

// Parses `bytes` as UTF-8 into `document` under the rules above.
LoadProblem LoadForeign(pugi::xml_document& document, std::span<const uint8_t> bytes, size_t maxBytes);

std::string_view LocalName(const pugi::xml_node& node);
// The namespace a prefix stands for where `node` is: the nearest declaration outward. An empty prefix
// is the default namespace.
std::string_view NamespaceOfPrefix(pugi::xml_node node, std::string_view prefix);
std::string_view NamespaceOf(const pugi::xml_node& node);
bool Is(const pugi::xml_node& node, std::string_view ns, std::string_view local);
// The first child element with this name, or an empty node.
pugi::xml_node Child(const pugi::xml_node& parent, std::string_view ns, std::string_view local);
std::vector<pugi::xml_node> Children(const pugi::xml_node& parent, std::string_view ns,
                                     std::string_view local);
// Element text with the blanks around it gone (values are often pretty-printed).
std::string TrimmedText(const pugi::xml_node& node);
// A list of URIs or names separated by XML white space.
std::vector<std::string> Words(const pugi::xml_node& node);

} // namespace quillctl::xml
