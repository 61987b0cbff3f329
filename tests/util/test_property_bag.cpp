#include "util/PropertyBag.h"

#include <QColor>
#include <gtest/gtest.h>

namespace {

TEST(PropertyBag, KeysAreMatchedWithoutCaseAndStoredLowerCase) {
    PropertyBag bag;
    bag.WriteProperty(q("AutoUpdTspInterval"), 50, 10);
    EXPECT_EQ(bag.keys(), QStringList{q("autoupdtspinterval")});
    EXPECT_EQ(bag.ReadProperty(q("AUTOUPDTSPINTERVAL"), 10).toInt(), 50);
    EXPECT_EQ(bag.ReadProperty(q("Caption"), q("fallback")).toString(), q("fallback"));
    EXPECT_FALSE(bag.ReadProperty(q("Picture")).isValid());
}

TEST(PropertyBag, AValueEqualToItsDefaultIsNotStoredAndRemovesAnOldOne) {
    PropertyBag bag{{q("FocusRect"), false}};
    bag.WriteProperty(q("Caption"), q(""), q(""));
    bag.WriteProperty(q("focusrect"), true, true);
    bag.WriteProperty(q("BackColor"), QColor(Qt::red), QColor(Qt::red));
    EXPECT_EQ(bag.size(), 0);
    bag.WriteProperty(q("BackColor"), QColor(Qt::blue), QColor(Qt::red));
    EXPECT_TRUE(bag.contains(q("backcolor")));
}

} // namespace
