// locale-environment.cpp -- the tests run in the locale of their environment, as the program
// does (Qt takes the environment's locale at start), so that a run under a comma locale
// (LC_ALL=de_DE.UTF-8) really has a comma as the C locale's decimal mark.
#include <gtest/gtest.h>

#include <clocale>

namespace {

class EnvironmentLocale : public testing::Environment {
  public:
    void SetUp() override { std::setlocale(LC_ALL, ""); }
};

const auto *const kEnvironmentLocale = testing::AddGlobalTestEnvironment(new EnvironmentLocale);

} // namespace
