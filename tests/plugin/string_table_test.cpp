// The string table and the embedded script table.
#include "shell/string_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pipeline/embedded_scripts.h"

namespace outfold {
namespace {

TEST(StringTable, EachRecordCarriesItsIndexAndText) {
    const std::vector<std::string> texts = {
        "",
        "Outfold",
        "Outfold | Select a pre-comp layer",
        "Outfold Selection",
        "Outfold: Problems encountered during outfold.",
    };
    ASSERT_EQ(texts.size(), std::size_t(kStringCount));
    for (A_u_long id = 0; id < kStringCount; ++id) {
        SCOPED_TRACE(id);
        EXPECT_EQ(kStringTable[id].id, id);
        EXPECT_EQ(std::string(get_string(id)), texts[id]);
        EXPECT_EQ(get_string(id), kStringTable[id].text);
    }
}

TEST(StringTable, RecordLayoutIsAnIdAndA256ByteText) {
    EXPECT_EQ(sizeof(StringEntry), 4u + 256u);
    EXPECT_EQ(offsetof(StringEntry, text), 4u);
    EXPECT_EQ(sizeof(StringEntry::text), 256u);
}

std::vector<const EmbeddedScript*> table_records() {
    std::vector<const EmbeddedScript*> records;
    for (const EmbeddedScript* s = kEmbeddedScripts; s->name != nullptr; ++s) records.push_back(s);
    return records;
}

TEST(EmbeddedScripts, TableHoldsTheTwoScriptsInOrderWithTheirRealLengths) {
    const auto records = table_records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_STREQ(records[0]->name, "mainPanel.jsx");
    EXPECT_STREQ(records[1]->name, "prefixTooLong.jsx");
    for (const EmbeddedScript* s : records) {
        SCOPED_TRACE(s->name);
        EXPECT_EQ(s->length, std::strlen(s->text));
        EXPECT_GT(s->length, 0u);
    }
    EXPECT_EQ(records[1]->length, 100u);
    const EmbeddedScript& end = kEmbeddedScripts[records.size()];
    EXPECT_EQ(end.name, nullptr);
}

TEST(EmbeddedScripts, FindScriptMatchesNamesByteForByte) {
    const auto records = table_records();
    EXPECT_EQ(find_script("mainPanel.jsx"), records[0]->text);
    EXPECT_EQ(find_script("prefixTooLong.jsx"), records[1]->text);
    for (const char* absent : {"", "mainpanel.jsx", "mainPanel.jsx ", "mainPanel", "MAINPANEL.JSX",
                               "prefixTooLong.js", "other.jsx"}) {
        SCOPED_TRACE(absent);
        EXPECT_EQ(find_script(absent), nullptr);
    }
}

TEST(EmbeddedScripts, DialogScriptStartsWithByteOrderMarkAndEndsEveryLineWithCrLf) {
    const std::string text = find_script("mainPanel.jsx");
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xef\xbb\xbf");
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++lines;
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "line " << lines << " lacks CR";
        } else if (text[i] == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n')
                << "stray CR after line " << lines;
        }
    }
    EXPECT_GT(lines, 100u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // The value the host hands back is the script's last expression.
    EXPECT_EQ(text.substr(text.size() - 9), "result;\r\n");
}

TEST(EmbeddedScripts, PrefixAlertIsOneHundredBytesOfOneStatement) {
    const std::string text = find_script("prefixTooLong.jsx");
    EXPECT_EQ(text,
              "alert(\"The prefix you set it too long. Please limit prefixes to 50 characters.\", "
              "\"Prefix Too Long\");");
    EXPECT_EQ(text.size(), 100u);
}

}  // namespace
}  // namespace outfold
