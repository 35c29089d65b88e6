#include "install/InterbootStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>


using namespace orvanta;

namespace {

// Each test uses its own key so that a real run's HKCU\InterbootContext is never touched.
const char kKey[] = "OrvantaTestInterboot";
const wchar_t kKeyW[] = L"OrvantaTestInterboot";

class InterbootStoreTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, kKeyW); }
    void TearDown() override { testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, kKeyW); }

    InterbootStore store{kKey};
};

} // namespace

TEST_F(InterbootStoreTest, NumbersAndTextsCanBeReadAndDeletedAndDeleteKeyRemovesThem)
{
    std::wstring text = L"unchanged";
    EXPECT_NE(store.GetText(L"Ret", text), ERROR_SUCCESS);  // no key yet
    ASSERT_EQ(store.SetNumber(L"Ret", -1), ERROR_SUCCESS);
    int32_t value = 0;
    EXPECT_EQ(store.GetNumber(L"Ret", value), ERROR_SUCCESS);
    EXPECT_EQ(value, -1);

    const std::wstring longText(5000, L'7');
    ASSERT_EQ(store.SetText(L"Long", longText), ERROR_SUCCESS);
    EXPECT_NE(store.GetText(L"Missing", text), ERROR_SUCCESS);
    EXPECT_EQ(text, L"unchanged");
    ASSERT_EQ(store.GetText(L"Long", text), ERROR_SUCCESS);
    EXPECT_EQ(text, longText);

    ASSERT_EQ(store.SetNumber(L"B", 2), ERROR_SUCCESS);
    EXPECT_EQ(store.DeleteValue(L"B"), ERROR_SUCCESS);
    EXPECT_NE(store.DeleteValue(L"B"), ERROR_SUCCESS);
    EXPECT_EQ(store.DeleteKey(), ERROR_SUCCESS);
    EXPECT_FALSE(testing_support::RegistryKeyExists(HKEY_CURRENT_USER, kKeyW));
}

