#pragma once
// Reading XML that someone else sent (WS-Discovery datagrams, SOAP answers): a real parser, no
// DOCTYPE (so no entity can be declared), bounds on the size, the nesting and the number of elements
// and attributes, and names compared by their namespace, never by the prefix the sender chose.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace quillctl::xml {

inline constexpr int kMaxDepth = 32;

// What one document may hold. Names are looked up through the attributes of every enclosing element,
// so elements and attributes are bounded too, to keep the cost of reading one document small.
struct XmlBounds {
    size_t maxBytes;
    size_t maxElements;
    size_t maxAttributes;
};

enum class LoadProblem { None, TooLarge, NotWellFormed, Doctype, TooDeep, TooManyNodes };

// Parses `bytes` as UTF-8 into `document` under the rules above.
LoadProblem LoadForeign(pugi::xml_document& document, std::span<const uint8_t> bytes,
                        const XmlBounds& bounds);

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
