#include "common/change_notice.h"

#include <gtest/gtest.h>

namespace comlookup {
namespace {

TEST(ChangeNotice, RegistersAgainOnlyWhenNoneWaits) {
    const struct {
        const char* name;
        NoticeState notice;
        bool again;
    } cases[] = {
        {"never made, or its key or event could not be had", {false, false, false}, true},
        {"a forced walk while it waits: a second wait would pile up", {true, false, false}, false},
        {"fired: the registry holds no wait any more", {true, true, false}, true},
        {"its key deleted without its event set, as Wine does", {true, false, true}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.again, register_again(c.notice));
    }
}

}  // namespace
}  // namespace comlookup
