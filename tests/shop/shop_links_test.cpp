#include <shop/shop_links.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ShopPage {
    std::string caption;
    std::string address;
};

// Written out in full, so a wrong piece, a stray separator or a shifted caption shows.
const std::vector<ShopPage> kExpectedPages = {
    {"Music",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=301668"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    {"Video",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=130"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    {"Books",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=1000"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    // A product page rather than a category.
    {"Gift Cards",
     "https://www.amazon.com/dp/B00067L6TQ/ref=nosim/?%5Fencoding=UTF8"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    {"Cameras",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=13900861"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    {"Electronics",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=172282"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    {"Grocery",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=16310101"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    {"Apparel",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=51569011"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    {"Toys+Games",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=165793011"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    {"Software",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=229534"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
    // The fixed address: no node, its own parameter order and the key link_code.
    {"Houseware",
     "https://www.amazon.com/exec/obidos/redirect?link_code=ur2&tag=kvzp&camp=1789"
     "&creative=9325&path=tg%2Fnew-for-you%2Ftop-sellers%2F-%2Fkitchen%2Fall%2Fref%3Dpd_ts_h"},
    {"Hardware",
     "https://www.amazon.com/b?%5Fencoding=UTF8&node=228013"
     "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325"},
};

TEST(ShopAddress, EveryItemOpensItsOwnPage) {
    ASSERT_EQ(shop::kShopItems.size(), kExpectedPages.size());
    for (std::size_t index = 0; index < kExpectedPages.size(); ++index) {
        const ShopPage& expected = kExpectedPages[index];
        SCOPED_TRACE(expected.caption);
        EXPECT_EQ(shop::kShopItems[index], expected.caption);
        EXPECT_EQ(shop::shopAddress(static_cast<int>(index)), expected.address);
    }
}

TEST(ShopAddress, IndexOutsideTheRowHasNoAddress) {
    EXPECT_FALSE(shop::shopAddress(-1));
    EXPECT_FALSE(shop::shopAddress(12));
}

TEST(ShopChoice, OpensOncePerChangeOfTheChosenItem) {
    shop::ShopChoice choice;
    EXPECT_EQ(choice.chosen(), -1);
    std::vector<std::string> opened;
    for (int index : {0, 1, 0, 0}) {
        if (auto address = choice.choose(index)) opened.push_back(*address);
    }
    // Music, Video, Music again: three pages; the second click on Music opens none.
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], kExpectedPages[0].address);
    EXPECT_EQ(opened[1], kExpectedPages[1].address);
    EXPECT_EQ(opened[2], kExpectedPages[0].address);
    EXPECT_EQ(choice.chosen(), 0);
}

TEST(ShopChoice, ClearedChoiceMakesTheSameItemAChangeAgain) {
    shop::ShopChoice choice;
    ASSERT_TRUE(choice.choose(5));
    EXPECT_FALSE(choice.choose(-1));
    EXPECT_EQ(choice.chosen(), -1);
    EXPECT_EQ(choice.choose(5), kExpectedPages[5].address);
}

}  // namespace
