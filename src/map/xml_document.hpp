// Owns one Mini-XML document tree for as long as the loader reads it.
#pragma once

#include <mxml.h>

namespace cxl {

class XmlDocument {
public:
    explicit XmlDocument(mxml_node_t* top) : top_(top) {}
    ~XmlDocument() {
        if (top_ != nullptr) mxmlDelete(top_);
    }
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    [[nodiscard]] mxml_node_t* top() const { return top_; }
    explicit operator bool() const { return top_ != nullptr; }

private:
    mxml_node_t* top_;
};

}  // namespace cxl
