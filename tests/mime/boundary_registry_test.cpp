#include "mime/boundary_registry.h"

#include <gtest/gtest.h>

namespace {

// A private registry: the module's one is shared with every other test.
TEST(BoundaryRegistryTest, RegisterOnceUnregisterLastIdentical) {
    BoundaryRegistry r;
    r.RegisterBoundary("");
    EXPECT_EQ(r.GetCount(), 0);
    r.RegisterBoundary("==a==");
    r.RegisterBoundary("==a==");
    r.RegisterBoundary("==A==");
    EXPECT_EQ(r.GetCount(), 2) << "identical bytes only once; other case is another entry";
    r.UnregisterBoundary("==a==");
    EXPECT_FALSE(r.Contains("==a=="));
    EXPECT_TRUE(r.Contains("==A=="));
    r.UnregisterBoundary("==missing==");
    r.UnregisterBoundary("");
    EXPECT_EQ(r.GetCount(), 1);
    r.RegisterBoundary("==a==");
    EXPECT_EQ(r.GetCount(), 2) << "registrable again once removed";
}

TEST(BoundaryRegistryTest, MatchesWhenLineAndEntryContainOneAnother) {
    BoundaryRegistry r;
    r.RegisterBoundary("NextPart_42");
    struct Case {
        const char* line;
        bool matches;
    } cases[] = {
        {"--NextPart_42", true},    // the line holds the entry
        {"--nextpart_42--", true},  // without regard to case
        {"NextPart_42", true},      // equal
        {"Part_4", true},           // the entry holds the shorter line
        {"part_4", true},          {"NextPart_43", false}, {"--NextPart_4", false}, {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(r.MatchesRegisteredBoundary(c.line), c.matches) << c.line;
    BoundaryRegistry empty;
    EXPECT_FALSE(empty.MatchesRegisteredBoundary("anything"));
    r.Clear();
    EXPECT_FALSE(r.MatchesRegisteredBoundary("--NextPart_42"));
}

}  // namespace
