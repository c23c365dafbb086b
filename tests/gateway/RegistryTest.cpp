// The component registry: the registration file and what happens when creation fails.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/TestSeams.h"
#include "gateway/ComponentRegistry.h"
#include "gateway/GatewayApi.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

// Each test points QUILLON_COMPONENTS at its own registration file; the variable is put back after.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("QUILLON_COMPONENTS");
        old_ = old ? std::optional<std::string>(old) : std::nullopt;
    }
    void TearDown() override {
        old_ ? ::setenv("QUILLON_COMPONENTS", old_->c_str(), 1) : ::unsetenv("QUILLON_COMPONENTS");
    }
    void Register(const std::string& text) {
        test::WriteFile(dir_.File("components.conf"), text);
        ::setenv("QUILLON_COMPONENTS", dir_.File("components.conf").c_str(), 1);
    }

    test::TempDir dir_;
    std::optional<std::string> old_;
};

TEST_F(RegistryTest, ParsesRegistrationLines) {
    int bad = -1;
    auto entries = ComponentRegistry::ParseRegistrationText(
        "# components of this installation\n"
        "\n"
        "  SMS_COMAPI.SMS   =   lib/libsms_comapi.so  \r\n"
        "Other.Thing=/opt/other/libthing.so\n"
        "no equals sign here\n"
        "= /lib/nameless.so\n"
        "Empty.Path =\n"
        "sms_comapi.sms = /usr/lib/quillon/libsms_comapi.so\n",
        "/etc/quillon", &bad);
    EXPECT_EQ(bad, 3);
    ASSERT_EQ(entries.size(), 2u);
    // A later line for the same ProgID (in any case) replaces the earlier one.
    EXPECT_EQ(entries[0].progId, "sms_comapi.sms");
    EXPECT_EQ(entries[0].path, "/usr/lib/quillon/libsms_comapi.so");
    EXPECT_EQ(entries[1].progId, "Other.Thing");
    EXPECT_EQ(entries[1].path, "/opt/other/libthing.so");

    auto relative = ComponentRegistry::ParseRegistrationText("A.B = lib/x.so\n", "/etc/quillon");
    ASSERT_EQ(relative.size(), 1u);
    EXPECT_EQ(relative[0].path, "/etc/quillon/lib/x.so");
}

TEST_F(RegistryTest, EnvironmentFileComesFirstAndRelativePathsFollowIt) {
    Register("SMS_COMAPI.SMS = sub/libfake.so\n");
    auto candidates = ComponentRegistry::RegistrationFileCandidates();
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates.front(), dir_.File("components.conf"));
    EXPECT_EQ(ComponentRegistry::FindRegistrationFile(), dir_.File("components.conf"));
    EXPECT_EQ(ComponentRegistry::Instance().LibraryFor("Sms_ComApi.Sms"), dir_.File("sub/libfake.so"));
    EXPECT_EQ(ComponentRegistry::Instance().LibraryFor("Nobody.Here"), "");
}

TEST_F(RegistryTest, CreatesTheRegisteredComponent) {
    Register(std::string("SMS_COMAPI.SMS = ") + QUILLON_COMPONENT_LIB + "\n");
    std::string error;
    ComponentHandle object = ComponentRegistry::Instance().CreateObject(GatewayApi::kProgId, &error);
    ASSERT_TRUE(object) << error;
    DispId id = 0;
    EXPECT_EQ(object->GetIDsOfNames("smsERROR", id), kDispOk);
    Variant value;
    EXPECT_GE(object->Invoke(id, InvokeKind::PropertyGet, {}, &value), 0);
}

TEST_F(RegistryTest, CreationFailuresGiveNoObjectAndAReason) {
    test::WriteFile(dir_.File("not-a-library.so"), "this is text, not a shared object\n");
    Register("Missing.File = " + dir_.File("absent.so") +
             "\nNot.ALibrary = not-a-library.so\nNo.Factory = libm.so.6\n" +
             "Foreign.ProgId = " + QUILLON_COMPONENT_LIB + "\n");
    auto& registry = ComponentRegistry::Instance();
    for (const char* progId : {"Not.Registered", "Missing.File", "Not.ALibrary", "No.Factory", "Foreign.ProgId"}) {
        std::string error;
        EXPECT_FALSE(registry.CreateObject(progId, &error)) << progId;
        EXPECT_FALSE(error.empty()) << progId;
    }
}

// Whatever another user could put in place would run as this user: such files are not used.
TEST_F(RegistryTest, PlacesOthersCanWriteAreNeitherReadNorLoaded) {
    const std::string shared = dir_.File("shared");
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    std::filesystem::copy_file(QUILLON_COMPONENT_LIB, shared + "/libsms_comapi.so");
    test::WriteFile(shared + "/components.conf", std::string("SMS_COMAPI.SMS = ") + QUILLON_COMPONENT_LIB + "\n");
    ::setenv("QUILLON_COMPONENTS", (shared + "/components.conf").c_str(), 1);
    EXPECT_NE(ComponentRegistry::FindRegistrationFile(), shared + "/components.conf");

    Register("SMS_COMAPI.SMS = " + shared + "/libsms_comapi.so\n");
    std::string error;
    EXPECT_FALSE(ComponentRegistry::Instance().CreateObject(GatewayApi::kProgId, &error));
    EXPECT_NE(error.find("other users"), std::string::npos) << error;
    // The same library in a folder of the user's own is loaded.
    ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);
    EXPECT_TRUE(ComponentRegistry::Instance().CreateObject(GatewayApi::kProgId, &error)) << error;
}

TEST_F(RegistryTest, MissingRegistrationLeavesTheGatewayUnavailable) {
    Register("# nothing registered\n");
    TestSeams::ResetGatewayInstance();
    EXPECT_FALSE(GatewayApi::IsAvailable(GatewayApi::Instance()));
    GatewayApi api;
    EXPECT_FALSE(api.Ready());
    std::string reply;
    EXPECT_EQ(api.Ping(reply), kDispFail);
    TestSeams::ResetGatewayInstance();
}

}  // namespace
}  // namespace quillon
