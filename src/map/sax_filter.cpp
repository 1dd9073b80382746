#include "map/sax_filter.hpp"

#include <cstring>
#include <new>

#include "map/encoding.hpp"
#include "map/text.hpp"

namespace cxl {

namespace {

std::int32_t number(mxml_node_t* element, const char* name) {
    const char* value = mxmlElementGetAttr(element, name);
    return value == nullptr ? 0 : leadingInteger(value);
}

}  // namespace

void SaxFilter::onEvent(mxml_node_t* node, mxml_sax_event_t event, void* filter) {
    auto& self = *static_cast<SaxFilter*>(filter);
    try {
        self.take(node, event);
    } catch (const std::bad_alloc&) {
        self.allocationFailed_ = true;
    }
}

mxml_type_t SaxFilter::textType(mxml_node_t* parent) {
    const char* name = mxmlGetElement(parent);
    return name != nullptr && std::strcmp(name, "dc:language") == 0 ? MXML_OPAQUE : MXML_IGNORE;
}

void SaxFilter::take(mxml_node_t* node, mxml_sax_event_t event) {
    if (event == MXML_SAX_ELEMENT_OPEN) {
        elementOpened_ = true;
        ++openElements_;
    } else if (event == MXML_SAX_ELEMENT_CLOSE) {
        --openElements_;
    }
    if (top_ == nullptr && node != nullptr) {
        top_ = node;
        mxmlRetain(node);
        return;  // only what lies below the top counts
    }
    if (map_.language.reading()) map_.language.take(node, event);
    if (event != MXML_SAX_ELEMENT_OPEN) return;
    const char* name = mxmlGetElement(node);
    if (name == nullptr) {
        // Mini-XML does not check its copy of an element's name: only memory
        // that ran out leaves an element without one.
        allocationFailed_ = true;
    } else if (std::strcmp(name, "concept") == 0) {
        keepNode(node, NodeKind::Concept);
    } else if (std::strcmp(name, "linking-phrase") == 0) {
        keepNode(node, NodeKind::LinkingPhrase);
    } else if (std::strcmp(name, "connection") == 0) {
        map_.connections.push_back({attribute(node, "from-id"), attribute(node, "to-id")});
    } else if (std::strcmp(name, "concept-appearance") == 0) {
        keepAppearance(node, map_.conceptBoxes);
    } else if (std::strcmp(name, "linking-phrase-appearance") == 0) {
        keepAppearance(node, map_.phraseBoxes);
    } else if (!map_.language.reading()) {
        map_.language.take(node, event);  // the first "dc:language" begins
    }
}

RawText SaxFilter::attribute(mxml_node_t* element, const char* name) {
    const char* value = mxmlElementGetAttr(element, name);
    if (value == nullptr) return {};
    return RawText(map_.texts.storeWithZero(value).data());
}

void SaxFilter::keepNode(mxml_node_t* element, NodeKind kind) {
    const RawNode raw{attribute(element, "id"), attribute(element, "label"), kind};
    if (!isXmlText(raw.id.text()) || !isXmlText(raw.label.text())) badText_ = true;
    map_.nodes.push_back(raw);
}

void SaxFilter::keepAppearance(mxml_node_t* element, std::deque<Box>& boxes) {
    const char* id = mxmlElementGetAttr(element, "id");
    if (id == nullptr) return;
    Box& box = boxes.emplace_back();
    box.id = RawText(map_.texts.storeWithZero(id).data());
    box.x = number(element, "x");
    box.y = number(element, "y");
    box.width = number(element, "width");
}

}  // namespace cxl
