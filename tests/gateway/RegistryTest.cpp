// The component registry: the registration file and what happens when creation fails.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/TestSeams.h"
#include "gateway/ComponentRegistry.h"
#include "gateway/GatewayApi.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

// Points QUILLON_COMPONENTS at a file for one test and puts the variable back afterwards.
class ComponentsFileOverride {
public:
    explicit ComponentsFileOverride(const std::string& path) {
        if (const char* old = std::getenv("QUILLON_COMPONENTS")) {
            had_ = true;
            old_ = old;
        }
        ::setenv("QUILLON_COMPONENTS", path.c_str(), 1);
    }
    ~ComponentsFileOverride() {
        if (had_)
            ::setenv("QUILLON_COMPONENTS", old_.c_str(), 1);
        else
            ::unsetenv("QUILLON_COMPONENTS");
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(RegistryTest, ParsesRegistrationLines) {
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

TEST(RegistryTest, EnvironmentFileComesFirstAndRelativePathsFollowIt) {
    test::TempDir dir;
    test::WriteFile(dir.File("components.conf"), "SMS_COMAPI.SMS = sub/libfake.so\n");
    ComponentsFileOverride env(dir.File("components.conf"));
    auto candidates = ComponentRegistry::RegistrationFileCandidates();
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates.front(), dir.File("components.conf"));
    EXPECT_EQ(ComponentRegistry::FindRegistrationFile(), dir.File("components.conf"));
    EXPECT_EQ(ComponentRegistry::Instance().LibraryFor("Sms_ComApi.Sms"), dir.File("sub/libfake.so"));
    EXPECT_EQ(ComponentRegistry::Instance().LibraryFor("Nobody.Here"), "");
}

TEST(RegistryTest, CreatesTheRegisteredComponent) {
    test::TempDir dir;
    test::WriteFile(dir.File("components.conf"), std::string("SMS_COMAPI.SMS = ") + QUILLON_COMPONENT_LIB + "\n");
    ComponentsFileOverride env(dir.File("components.conf"));
    std::string error;
    ComponentHandle object = ComponentRegistry::Instance().CreateObject(GatewayApi::kProgId, &error);
    ASSERT_TRUE(object) << error;
    DispId id = 0;
    EXPECT_EQ(object->GetIDsOfNames("smsERROR", id), kDispOk);
    Variant value;
    EXPECT_GE(object->Invoke(id, InvokeKind::PropertyGet, {}, &value), 0);
}

TEST(RegistryTest, CreationFailuresGiveNoObjectAndAReason) {
    test::TempDir dir;
    test::WriteFile(dir.File("not-a-library.so"), "this is text, not a shared object\n");
    test::WriteFile(dir.File("components.conf"), std::string("Missing.File = ") + dir.File("absent.so") + "\n" +
                                                     "Not.ALibrary = not-a-library.so\n"
                                                     "No.Factory = libm.so.6\n"
                                                     "Foreign.ProgId = " +
                                                     QUILLON_COMPONENT_LIB + "\n");
    ComponentsFileOverride env(dir.File("components.conf"));
    auto& registry = ComponentRegistry::Instance();
    for (const char* progId : {"Not.Registered", "Missing.File", "Not.ALibrary", "No.Factory", "Foreign.ProgId"}) {
        std::string error;
        EXPECT_FALSE(registry.CreateObject(progId, &error)) << progId;
        EXPECT_FALSE(error.empty()) << progId;
    }
}

TEST(RegistryTest, MissingRegistrationLeavesTheGatewayUnavailable) {
    test::TempDir dir;
    test::WriteFile(dir.File("components.conf"), "# nothing registered\n");
    ComponentsFileOverride env(dir.File("components.conf"));
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
