// The Group Policy templates against the program: both files are well-formed XML, every text the
// template names is in the language file, and every registry value a policy writes is one the
// program reads and takes, under the key it reads.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings/policies.h"

namespace {

const std::string kAdmx = ZAN_POLICY_DEFINITIONS "/ZANKeyboardWedge.admx";
const std::string kAdml = ZAN_POLICY_DEFINITIONS "/en-US/ZANKeyboardWedge.adml";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::smatch> All(const std::string& text, const std::regex& pattern) {
  return {std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()};
}

std::string Attribute(const std::string& attributes, const std::string& name) {
  std::smatch m;
  const std::regex pattern("\\b" + name + "=\"([^\"]*)\"");
  return std::regex_search(attributes, m, pattern) ? m[1].str() : std::string();
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += static_cast<char>(*text);
  return out;
}

// Answers one value for one name, as the registry would after a policy wrote it.
class OneValue : public settings::PolicySource {
 public:
  OneValue(std::string name, std::uint32_t value) : name_(std::move(name)), value_(value) {}
  std::optional<std::uint32_t> ReadDword(settings::PolicyScope scope,
                                         const wchar_t* name) override {
    if (scope != settings::PolicyScope::Machine || Narrow(name) != name_) return std::nullopt;
    return value_;
  }
  std::optional<std::wstring> ReadText(settings::PolicyScope, const wchar_t*) override {
    return std::nullopt;
  }

 private:
  std::string name_;
  std::uint32_t value_;
};

bool LocksSomething(const settings::LockedSettings& locked) {
  for (const settings::SettingRow& row : settings::kSettings) {
    if (locked.Get(row.setting)) return true;
  }
  return false;
}

TEST(PolicyTemplates, AreWellFormedCompleteAndAgreeWithWhatTheProgramReads) {
  for (const std::string& file : {kAdmx, kAdml}) {
    EXPECT_EQ(std::system(("xmllint --noout '" + file + "'").c_str()), 0) << file;
  }
  const std::string admx = ReadFile(kAdmx);
  const std::string adml = ReadFile(kAdml);
  ASSERT_FALSE(admx.empty());
  ASSERT_FALSE(adml.empty());

  std::set<std::string> strings, presentations;
  for (const auto& m : All(adml, std::regex("<string id=\"([^\"]+)\">"))) strings.insert(m[1]);
  for (const auto& m : All(adml, std::regex("<presentation id=\"([^\"]+)\">"))) {
    presentations.insert(m[1]);
  }
  for (const auto& m : All(admx, std::regex("\\$\\(string\\.([^)]+)\\)"))) {
    EXPECT_TRUE(strings.count(m[1])) << "no text for " << m[1];
  }
  for (const auto& m : All(admx, std::regex("\\$\\(presentation\\.([^)]+)\\)"))) {
    EXPECT_TRUE(presentations.count(m[1])) << "no presentation " << m[1];
  }

  // Each policy: the key it writes, and every value name with the numbers it writes there.
  std::map<std::string, std::set<std::uint32_t>> written;
  int text_policies = 0;
  const auto policies =
      All(admx, std::regex("<policy ([^>]*)>([\\s\\S]*?)</policy>"));
  ASSERT_FALSE(policies.empty());
  for (const auto& policy : policies) {
    const std::string attributes = policy[1], body = policy[2];
    const std::string name = Attribute(attributes, "name");
    SCOPED_TRACE(name);
    EXPECT_EQ(Attribute(attributes, "key"), Narrow(settings::kPolicyKeyPath));
    EXPECT_EQ(Attribute(attributes, "class"), "Both");
    std::string value_name = Attribute(attributes, "valueName");
    std::smatch element;
    if (std::regex_search(body, element, std::regex("<enum ([^>]*)>"))) {
      value_name = Attribute(element[1], "valueName");
    }
    if (std::regex_search(body, element, std::regex("<list ([^>]*)>"))) {
      // The typing rules: one value per program, named by the rule's row.
      EXPECT_EQ(Attribute(element[1], "key"), Narrow(settings::kPolicyKeyPath) + "\\Targets");
      EXPECT_EQ(Attribute(element[1], "explicitValue"), "true");
      continue;
    }
    if (std::regex_search(body, element, std::regex("<text ([^>]*)>"))) {
      // The one text policy: the reader control, a REG_SZ the program reads as it is.
      EXPECT_EQ(Attribute(element[1], "valueName"), Narrow(settings::kReaderControlPolicy));
      EXPECT_EQ(Attribute(element[1], "required"), "true");
      text_policies++;
      continue;
    }
    ASSERT_FALSE(value_name.empty());
    for (const auto& m : All(body, std::regex("<decimal value=\"([0-9]+)\""))) {
      written[value_name].insert(static_cast<std::uint32_t>(std::stoul(m[1])));
    }
  }

  std::set<std::string> read;
  for (const settings::PolicyRow& row : settings::kPolicies) read.insert(Narrow(row.value_name));
  std::set<std::string> templated;
  for (const auto& entry : written) templated.insert(entry.first);
  EXPECT_EQ(templated, read) << "the template's values and the program's differ";
  EXPECT_EQ(text_policies, 1);

  for (const auto& [name, values] : written) {
    EXPECT_GE(values.size(), 2u) << name;
    for (std::uint32_t value : values) {
      OneValue source(name, value);
      EXPECT_TRUE(LocksSomething(settings::ReadPolicies(source)))
          << name << " = " << value << " is not a value the program takes";
    }
  }
}

}  // namespace
