#include "onvif/xml_reading.h"

namespace quillctl::xml {

namespace {

// Deeper, or with more elements or attributes, than the bounds anywhere in the document: walked
// without recursion, so the walk itself cannot run out of stack on a hostile document.
LoadProblem BeyondBounds(const pugi::xml_document& document, const XmlBounds& bounds) {
    int depth = 0;
    size_t elements = 0, attributes = 0;
    pugi::xml_node node = document.first_child();
    while (node) {
        if (depth > kMaxDepth)
            return LoadProblem::TooDeep;
        if (node.type() == pugi::node_element) {
            ++elements;
            for (pugi::xml_attribute attribute = node.first_attribute();
                 attribute && attributes <= bounds.maxAttributes; attribute = attribute.next_attribute())
                ++attributes;
            if (elements > bounds.maxElements || attributes > bounds.maxAttributes)
                return LoadProblem::TooManyNodes;
        }
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (node)
            node = node.next_sibling();
    }
    return LoadProblem::None;
}

} // namespace

LoadProblem LoadForeign(pugi::xml_document& document, std::span<const uint8_t> bytes,
                        const XmlBounds& bounds) {
    if (bytes.size() > bounds.maxBytes)
        return LoadProblem::TooLarge;
    // The DOCTYPE is kept as a node so that it can be refused; entities are never expanded (the parser
    // knows only the predefined ones and character references).
    const unsigned options = pugi::parse_default | pugi::parse_doctype;
    if (!document.load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_utf8))
        return LoadProblem::NotWellFormed;
    for (pugi::xml_node node : document.children())
        if (node.type() == pugi::node_doctype)
            return LoadProblem::Doctype;
    return BeyondBounds(document, bounds);
}

std::string_view LocalName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view NamespaceOfPrefix(pugi::xml_node node, std::string_view prefix) {
    std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (; node; node = node.parent())
        if (pugi::xml_attribute declared = node.attribute(attribute.c_str()))
            return declared.value();
    return {};
}

std::string_view NamespaceOf(const pugi::xml_node& node) {
    std::string_view name = node.name();
    size_t colon = name.find(':');
    return NamespaceOfPrefix(node,
                             colon == std::string_view::npos ? std::string_view() : name.substr(0, colon));
}

bool Is(const pugi::xml_node& node, std::string_view ns, std::string_view local) {
    return node.type() == pugi::node_element && LocalName(node) == local && NamespaceOf(node) == ns;
}

pugi::xml_node Child(const pugi::xml_node& parent, std::string_view ns, std::string_view local) {
    for (pugi::xml_node child : parent.children())
        if (Is(child, ns, local))
            return child;
    return {};
}

std::vector<pugi::xml_node> Children(const pugi::xml_node& parent, std::string_view ns,
                                     std::string_view local) {
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node child : parent.children())
        if (Is(child, ns, local))
            found.push_back(child);
    return found;
}

std::string TrimmedText(const pugi::xml_node& node) {
    std::string_view text = node.child_value();
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(begin, end - begin + 1));
}

std::vector<std::string> Words(const pugi::xml_node& node) {
    std::vector<std::string> words;
    std::string_view text = node.child_value();
    size_t at = 0;
    while (at < text.size()) {
        size_t begin = text.find_first_not_of(" \t\r\n", at);
        if (begin == std::string_view::npos)
            break;
        size_t end = text.find_first_of(" \t\r\n", begin);
        if (end == std::string_view::npos)
            end = text.size();
        words.emplace_back(text.substr(begin, end - begin));
        at = end;
    }
    return words;
}

} // namespace quillctl::xml
