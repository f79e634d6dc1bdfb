#include "host/endpoints.h"
#include "scoped_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Endpoints, CompiledInDefaults)
{
    ScopedEnv desktop("TAVRO_DESKTOP_SERVER", nullptr);
    ScopedEnv home("TAVRO_HOME_PAGE", nullptr);
    ScopedEnv mobile("TAVRO_MOBILE_SITE", nullptr);
    EXPECT_EQ(DesktopServer(), L"https://desktop.tavro.cn");
    EXPECT_EQ(HomePage(), L"https://www.tavro.cn");
    EXPECT_EQ(MobileSite(), L"https://m.tavro.cn");
}

TEST(Endpoints, EnvironmentOverridesEachOne)
{
    ScopedEnv desktop("TAVRO_DESKTOP_SERVER", "http://127.0.0.1:8765");
    ScopedEnv home("TAVRO_HOME_PAGE", "https://home.example:443/");
    ScopedEnv mobile("TAVRO_MOBILE_SITE", "ftp://m.example");
    EXPECT_EQ(DesktopServer(), L"http://127.0.0.1:8765");
    EXPECT_EQ(HomePage(), L"https://home.example:443");
    EXPECT_EQ(MobileSite(), L"https://m.tavro.cn");
}

TEST(Endpoints, ARefusedValueIsNamedWithItsReasonOnceOnStandardError)
{
    ScopedEnv mobile("TAVRO_MOBILE_SITE", "http://m.example/path");
    testing::internal::CaptureStderr();
    EXPECT_EQ(MobileSite(), L"https://m.tavro.cn");
    EXPECT_EQ(MobileSite(), L"https://m.tavro.cn");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("TAVRO_MOBILE_SITE=\"http://m.example/path\" is ignored"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("https://m.tavro.cn"), std::string::npos) << said;
    EXPECT_EQ(said.find("is ignored"), said.rfind("is ignored")) << "said more than once";

    // Each refusal has its own reason; an accepted value has none.
    for (const auto& [value, reason] :
         std::vector<std::pair<const char*, const char*>>{{"ftp://x", "http:// or https://"},
                                                          {"http://:80", "host name is empty"},
                                                          {"http://a b", "character other than"},
                                                          {"http://h:", "port after ':' is empty"},
                                                          {"http://h:99999", "between 1 and 65535"},
                                                          {"http://h:8x", "not a number"},
                                                          {"http://[]", "IPv6"},
                                                          {"http://[::1]/x", "only a port"},
                                                          {"http://h:8080/", ""}}) {
        std::string problem = "stale";
        EndpointOrDefault(value, L"f", &problem);
        if (*reason == 0)
            EXPECT_TRUE(problem.empty()) << value << ": " << problem;
        else
            EXPECT_NE(problem.find(reason), std::string::npos) << value << ": " << problem;
    }
}

TEST(Endpoints, AcceptsOnlyHttpOrigins)
{
    const std::wstring fallback = L"http://fallback";
    EXPECT_EQ(EndpointOrDefault("http://localhost", fallback), L"http://localhost");
    EXPECT_EQ(EndpointOrDefault("http://[::1]:8080", fallback), L"http://[::1]:8080");
    EXPECT_EQ(EndpointOrDefault("https://a-b.example.cn:65535", fallback),
              L"https://a-b.example.cn:65535");
    for (const char* bad : {"",
                            "localhost",
                            "file:///etc/passwd",
                            "javascript:alert(1)",
                            "HTTP://x",
                            "http://",
                            "http://:80",
                            "http://host:",
                            "http://host:0",
                            "http://host:65536",
                            "http://host:123456",
                            "http://host:8a",
                            "http://host/path",
                            "http://host?q=1",
                            "http://user@host",
                            "http://ho st",
                            "http://[::1",
                            "http://[]",
                            "http://[::1]x",
                            "http://host//",
                            "http://宝宝.cn"}) {
        EXPECT_EQ(EndpointOrDefault(bad, fallback), fallback) << bad;
    }
    EXPECT_EQ(EndpointOrDefault(nullptr, fallback), fallback);
}

TEST(Endpoints, APlainAddressOfAnotherMachineIsNotedOnce)
{
    for (const auto& [origin, plainRemote] :
         std::vector<std::pair<const wchar_t*, bool>>{{L"http://desktop.example.cn", true},
                                                      {L"http://10.0.0.2:8080", true},
                                                      {L"http://127.example.cn", true},
                                                      {L"https://desktop.example.cn", false},
                                                      {L"http://127.0.0.1:8765", false},
                                                      {L"http://localhost:80", false},
                                                      {L"http://[::1]:8080", false}}) {
        EXPECT_EQ(IsPlainRemoteOrigin(origin), plainRemote) << static_cast<int>(plainRemote);
    }
    ScopedEnv desktop("TAVRO_DESKTOP_SERVER", "http://desktop.example.cn");
    testing::internal::CaptureStderr();
    DesktopServer();
    DesktopServer();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("plain http"), std::string::npos) << said;
    EXPECT_EQ(said.find("plain http"), said.rfind("plain http")) << "said more than once";
}
