// Loading small CXL documents written here into the model.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "map/loader.hpp"

#ifndef _WIN32
#include <unistd.h>
#endif
#include "support/common.hpp"

using namespace cxl;
using cxltest::TempDir;

namespace {

struct Loaded {
    LoadStatus status;
    ConceptMap map;
};

// Loads `bytes` as a CXL file.
void load(const std::string& bytes, Loaded& result) {
    TempDir dir;
    cxltest::writeFile(dir / "m.cxl", bytes);
    std::FILE* file = std::fopen((dir / "m.cxl").string().c_str(), "r");
    ASSERT_NE(file, nullptr);
    result.status = loadMap(file, result.map);
}

std::string document(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<cmap><map>\n" + body + "</map></cmap>\n";
}

MapNode& only(NodeList& list) {
    EXPECT_EQ(list.size(), 1U);
    return *list.begin();
}

}  // namespace

TEST(Loader, LabelsAreDecodedThenNormalised) {
    Loaded loaded;
    load(document("<concept id=\"a\" label=\"  Hola&#xa;&#xa;&#9;mundo \"/>"
             "<concept id=\"b\" label=\"uno&#xd;&#xa;dos\"/>"
             "<concept id=\"c\" label=\" &#xa; \"/>"
             "<concept id=\"d\" label=\"Ca&#xf1;&#243;n  &amp; &lt;m&#xe1;s&gt;\"/>"
             "<concept id=\"e\" label=\"Ñandú\tcorre\"/>"),
         loaded);
    ASSERT_EQ(loaded.status, LoadStatus::Loaded);
    std::vector<std::string> labels;
    for (const MapNode& node : loaded.map.concepts) labels.emplace_back(node.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"Hola mundo", "uno\r dos", "",
                                                "Ca\xC3\xB1\xC3\xB3n & <m\xC3\xA1s>",
                                                "\xC3\x91" "and\xC3\xBA" " corre"}));
}

TEST(Loader, AppearancesGiveBoxesWhereverTheyStand) {
    Loaded loaded;
    load(document("<concept-appearance id=\"a\" x=\"12.75\" y=\"-40\" width=\" +7\"/>"
             "<concept-appearance id=\"a\" x=\"1\" y=\"1\" width=\"1\"/>"
             "<concept id=\"a\" label=\"A\"/>"
             "<concept id=\"b\" label=\"B\"/>"
             "<concept-appearance id=\"b\" x=\"abc\" y=\"99999999999\" width=\"-99999999999\"/>"
             "<linking-phrase id=\"a\" label=\"p\"/>"
             "<linking-phrase-appearance id=\"a\" x=\"5\" y=\"6\" width=\"7\"/>"),
         loaded);
    ASSERT_EQ(loaded.status, LoadStatus::Loaded);
    auto concept_ = loaded.map.concepts.begin();
    const MapNode& a = *concept_;
    EXPECT_EQ(a.x, 12);  // the first appearance of the id wins
    EXPECT_EQ(a.y, -40);
    EXPECT_EQ(a.width, 7);
    const MapNode& b = *++concept_;
    EXPECT_EQ(b.x, 0);
    EXPECT_EQ(b.y, 2147483647);
    EXPECT_EQ(b.width, -2147483647 - 1);
    const MapNode& p = only(loaded.map.phrases);  // a phrase's box comes from its own kind
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.kind, NodeKind::LinkingPhrase);
}

TEST(Loader, MissingAttributesAndAppearances) {
    Loaded loaded;
    load(document("<concept label=\" Sin  id \"/>"
             "<concept-appearance id=\" Sin  id \" x=\"30\"/>"
             "<concept id=\"x\"/>"
             "<concept/>"
             "<concept-appearance x=\"50\" y=\"50\"/>"
             "<linking-phrase id=\"lonely\" label=\"p\"/>"
             "<connection from-id=\"Sin id\" to-id=\"x\"/>"),
         loaded);
    ASSERT_EQ(loaded.status, LoadStatus::Loaded);
    std::vector<const MapNode*> nodes;
    for (const MapNode& node : loaded.map.concepts) nodes.push_back(&node);
    ASSERT_EQ(nodes.size(), 3U);
    EXPECT_EQ(nodes[0]->id, "Sin id");  // the label stands in for the id
    EXPECT_EQ(nodes[0]->x, 30);
    EXPECT_EQ(nodes[0]->y, 0);
    EXPECT_EQ(nodes[1]->label, "");
    EXPECT_EQ(nodes[2]->id, "");
    EXPECT_EQ(nodes[2]->x, 0);  // no id: no appearance, not even one without id
    EXPECT_EQ(nodes[0]->childCount, 1);
    EXPECT_TRUE(nodes[1]->isTarget);
}

TEST(Loader, ConnectionsInDocumentOrderAnyKindToAnyKind) {
    Loaded loaded;
    load(document("<connection from-id=\"c1\" to-id=\"c2\"/>"
             "<connection from-id=\"c1\" to-id=\"c2\"/>"
             "<connection from-id=\"dup\" to-id=\"p\"/>"
             "<concept id=\"c1\" label=\"1\"/><concept id=\"c2\" label=\"2\"/>"
             "<concept id=\"dup\" label=\"concept\"/>"
             "<linking-phrase id=\"dup\" label=\"phrase\"/><linking-phrase id=\"p\" label=\"p\"/>"
             "<concept-appearance id=\"c1\" x=\"10\"/><concept-appearance id=\"dup\" x=\"5\"/>"),
         loaded);
    ASSERT_EQ(loaded.status, LoadStatus::Loaded);
    MapNode& c1 = *findNode(loaded.map, "c1");
    EXPECT_EQ(c1.childCount, 2);
    EXPECT_EQ(findNode(loaded.map, "dup")->childCount, 1);
    EXPECT_EQ(findNode(loaded.map, "dup")->kind, NodeKind::Concept);
    ASSERT_EQ(loaded.map.roots.size(), 2U);
    EXPECT_EQ(loaded.map.roots[0].target->id, "dup");  // x 5 before x 10
    EXPECT_EQ(loaded.map.roots[1].target->id, "c1");
}

TEST(Loader, NoConnectionsMakesEveryConceptARoot) {
    Loaded loaded;
    load(document("<concept id=\"a\" label=\"A\"/><concept id=\"b\" label=\"B\"/>"
             "<linking-phrase id=\"p\" label=\"p\"/>"),
         loaded);
    ASSERT_EQ(loaded.status, LoadStatus::Loaded);
    EXPECT_EQ(loaded.map.roots.size(), 2U);
    EXPECT_EQ(loaded.map.phrases.size(), 1U);

    Loaded empty;
    load(document(""), empty);
    EXPECT_EQ(empty.status, LoadStatus::Loaded);
    EXPECT_TRUE(empty.map.concepts.empty());
}

TEST(Loader, UnresolvedConnectionsStop) {
    const std::string nodes = "<concept id=\"a\" label=\"A\"/><concept id=\" b\" label=\"B\"/>";
    for (const std::string connection :
         {"<connection from-id=\"a\" to-id=\"zz\"/>", "<connection from-id=\"zz\" to-id=\"a\"/>",
          "<connection from-id=\"a\"/>", "<connection to-id=\"a\"/>",
          "<connection from-id=\"a\" to-id=\" b\"/>",  // stored id is normalised, key is not
          "<connection from-id=\"A\" to-id=\"a\"/>"}) {
        Loaded loaded;
        load(document(nodes + connection), loaded);
        EXPECT_EQ(loaded.status, LoadStatus::MissingNode) << connection;
    }
    Loaded normalisedKey;
    load(document(nodes + "<connection from-id=\"a\" to-id=\"b\"/>"), normalisedKey);
    EXPECT_EQ(normalisedKey.status, LoadStatus::Loaded);
}

TEST(Loader, EncodingsWithByteOrderMarks) {
    const std::string utf8 = document("<concept id=\"a\" label=\"Ñandú\"/>");
    Loaded withBom;
    load("\xEF\xBB\xBF" + utf8, withBom);
    ASSERT_EQ(withBom.status, LoadStatus::Loaded);
    EXPECT_EQ(only(withBom.map.concepts).label, "Ñandú");

    // UTF-16 in both byte orders, with characters whose second surrogate
    // is U+DFFF (U+1F3FF, U+10FFFF), which the parser's own reading cuts.
    const std::u16string wide = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                                u"<cmap><concept id=\"a\" label=\"Ñandú \U0001F3FF \U0010FFFF \U0001F333\"/>"
                                u"<concept id=\"b\" label=\"after\"/></cmap>\n";
    for (const bool bigEndian : {false, true}) {
        Loaded loaded;
        load(cxltest::withUtf16Mark(wide, bigEndian), loaded);
        ASSERT_EQ(loaded.status, LoadStatus::Loaded) << bigEndian;
        ASSERT_EQ(loaded.map.concepts.size(), 2U);
        EXPECT_EQ(loaded.map.concepts.begin()->label,
                  "Ñandú \xF0\x9F\x8F\xBF \xF4\x8F\xBF\xBF \xF0\x9F\x8C\xB3");
    }
}

TEST(Loader, LanguageTheMapDeclares) {
    const auto languageOf = [](const std::string& metadata) {
        Loaded loaded;
        load("<?xml version=\"1.0\"?>\n<cmap><res-meta>" + metadata +
                 "</res-meta><map><concept id=\"a\" label=\"A\"/></map></cmap>",
             loaded);
        EXPECT_EQ(loaded.status, LoadStatus::Loaded) << metadata;
        return loaded.map.language;
    };
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"<dc:language>en</dc:language>", "en"},
        {"<dc:language>en-US</dc:language>", "en-US"},
        {"<dc:language>ES</dc:language>", "ES"},  // the page decides what Spanish needs
        {"<dc:language>es-MX</dc:language>", "es-MX"},
        {"<dc:language> \t&#xa;fr-CA-x-1&#13; </dc:language>", "fr-CA-x-1"},
        {"<dc:language>&#x65;&#x6E;</dc:language>", "en"},  // references decoded
        {"<dc:language>de</dc:language><dc:language>en</dc:language>", "de"},
        {"<dc:language>english</dc:language><dc:language>en</dc:language>", ""},  // the first counts
        {"<dc:language>en_US</dc:language>", ""},
        {"<dc:language>en--US</dc:language>", ""},
        {"<dc:language>en-123456789</dc:language>", ""},
        {"<dc:language>e</dc:language>", ""},
        {"<dc:language>en US</dc:language>", ""},
        {"<dc:language></dc:language>", ""},
        {"<dc:language/>", ""},
        {"<dc:language>en<!-- x --></dc:language>", ""},
        {"<dc:language><![CDATA[en]]></dc:language>", ""},
        {"<dc:language><b>en</b></dc:language>", ""},
        {"<dc:language>en<concept id=\"b\" label=\"B\"/></dc:language>", ""},
        {"<dc:Language>en</dc:Language><language>de</language>", ""},
    };
    for (const auto& [metadata, tag] : cases) EXPECT_EQ(languageOf(metadata), tag) << metadata;
}

TEST(Loader, IdsAndLabelsMustBeXmlTextOnceDecoded) {
    for (const std::string reference : {"&#xFFFE;", "&#xFFFF;", "&#xD800;", "&#1;", "&#x110000;"}) {
        for (const std::string attribute : {"id", "label"}) {
            Loaded loaded;
            // A connection to a missing node too: the text is refused first.
            load(document("<concept " + attribute + "=\"x" + reference + "\"/><connection from-id=\"q\"/>"),
                 loaded);
            EXPECT_EQ(loaded.status, LoadStatus::NotXml) << attribute << reference;
        }
    }
    // Other attributes and character data are not looked at.
    Loaded elsewhere;
    load(document("<concept id=\"a\" label=\"A\" note=\"&#xFFFE;\">&#xFFFF;</concept>"), elsewhere);
    EXPECT_EQ(elsewhere.status, LoadStatus::Loaded);
}

// What counts lies below the document's first node; what the parser refuses
// is refused.
TEST(Loader, ShapesOfTheDocument) {
    const std::string decl = "<?xml version=\"1.0\"?>";
    const std::string node = "<concept id=\"a\" label=\"A\"/>";
    const struct {
        std::string bytes;
        LoadStatus status;
        std::size_t concepts;
    } cases[] = {
        {decl + "<cmap>" + node + "</cmap>", LoadStatus::Loaded, 1},
        {"<cmap>" + node + node + "</cmap>", LoadStatus::Loaded, 2},
        {decl + "\n<!DOCTYPE cmap>\n<cmap>" + node + "</cmap>", LoadStatus::Loaded, 1},
        {"<?other x?><cmap>" + node + "</cmap>", LoadStatus::Loaded, 1},
        {"<!DOCTYPE cmap><cmap>" + node + "</cmap>", LoadStatus::Loaded, 1},
        {"<!-- first --><cmap>" + node + "</cmap>", LoadStatus::NotXml, 0},
        {decl + "<!-- then --><cmap>" + node + "</cmap>", LoadStatus::Loaded, 1},
        {decl + "<cmap>" + node + "</cmap>trailing text", LoadStatus::Loaded, 1},
        {decl + "<cmap>" + node + "</cmap><cmap>" + node + "</cmap>", LoadStatus::Loaded, 2},
        {"<cmap>" + node + "</cmap><cmap>" + node + "</cmap>", LoadStatus::NotXml, 0},
        {node, LoadStatus::Loaded, 0},  // the root itself is not below the first node
        {decl + node, LoadStatus::Loaded, 1},
        {"<concept id=\"r\">" + node + "</concept>", LoadStatus::Loaded, 1},
        {decl + "<cmap>" + node + node + "<oops></cmap>", LoadStatus::NotXml, 0},
        {decl + "<cmap>" + node, LoadStatus::NotXml, 0},
        {"<cmap>" + node, LoadStatus::Loaded, 1},  // the parser's own leniency, kept
    };
    for (const auto& c : cases) {
        Loaded loaded;
        load(c.bytes, loaded);
        EXPECT_EQ(loaded.status, c.status) << c.bytes;
        EXPECT_EQ(loaded.map.concepts.size(), c.concepts) << c.bytes;
    }
}

#ifndef _WIN32  // a folder does not open there
TEST(Loader, FolderCannotBeRead) {
    TempDir dir;
    std::FILE* folder = std::fopen(dir.path().string().c_str(), "r");
    ASSERT_NE(folder, nullptr);
    ConceptMap map;
    EXPECT_EQ(loadMap(folder, map), LoadStatus::ReadError);
}
#endif

#ifndef _WIN32
TEST(Loader, ReadsFromAPipe) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string bytes = document("<concept id=\"a\" label=\"Tubo\"/>");
    ASSERT_EQ(::write(ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(ends[1]);
    Loaded loaded;
    loaded.status = loadMap(::fdopen(ends[0], "r"), loaded.map);
    ASSERT_EQ(loaded.status, LoadStatus::Loaded);
    EXPECT_EQ(only(loaded.map.concepts).label, "Tubo");
}
#endif

TEST(Loader, DocumentsThatAreNotXml) {
    using namespace std::string_literals;
    const std::string head = "<?xml version=\"1.0\"?>\n";
    const std::vector<std::string> cases = {
        ""s,
        head + "<cmap><concept id=\"a\"></cmap>",
        "no xml at all"s,
        head + "<cmap><concept id=\"a\" label=\"\xFF\xFE\"/></cmap>",     // not UTF-8
        head + "<cmap><concept id=\"a\" label=\"\xC3\"/></cmap>",         // cut sequence
        head + "<cmap><concept id=\"a\" label=\"\xC0\xAF\"/></cmap>",    // overlong form
        head + "<cmap><concept id=\"a\" label=\"\xED\xA0\x80\"/></cmap>",  // surrogate
        "<cmap><concept id=\"a\"/>\0<concept id=\"b\"/></cmap>"s,          // NUL byte
        head + "<cmap>\x01</cmap>",
        "<\0c\0m\0a\0p\0/\0>\0"s,                                       // UTF-16 without mark
        "\xFF\xFE<\0c\0m\0a\0p\0>\0\0\xD8<\0/\0c\0m\0a\0p\0>\0"s,  // lone surrogate
    };
    for (const std::string& bytes : cases) {
        Loaded loaded;
        load(bytes, loaded);
        EXPECT_EQ(loaded.status, LoadStatus::NotXml) << "[" << bytes << "]";
        EXPECT_TRUE(loaded.map.concepts.empty());
    }
}

// A host whose text streams end lines with CR LF hands each pair to the
// parser as a line feed, and nothing else: no byte ends the file early, and
// UTF-16 is decoded by code units.
TEST(Loader, CrLfLineEndsReachTheParserAsLineFeeds) {
    TempDir dir;
    const std::string bytes = "<?xml version=\"1.0\"?>\r\n<cmap>\r\n"
                              "<concept id=\"a\" label=\"uno\r\ndos\x1A tres\r\r\ncuatro\"/>\r\n</cmap>\r\n";
    cxltest::writeFile(dir / "m.cxl", bytes);
    ConceptMap map;
    ASSERT_EQ(loadMap(std::fopen((dir / "m.cxl").string().c_str(), "rb"), map, true), LoadStatus::NotXml);
    cxltest::writeFile(dir / "m.cxl", std::string(bytes).erase(bytes.find('\x1A'), 1));
    ConceptMap joined;
    ASSERT_EQ(loadMap(std::fopen((dir / "m.cxl").string().c_str(), "rb"), joined, true), LoadStatus::Loaded);
    EXPECT_EQ(joined.concepts.begin()->label, "uno dos tres\r cuatro");
    ConceptMap asIs;
    ASSERT_EQ(loadMap(std::fopen((dir / "m.cxl").string().c_str(), "rb"), asIs, false), LoadStatus::Loaded);
    EXPECT_EQ(asIs.concepts.begin()->label, "uno\r dos tres\r\r cuatro");
}
