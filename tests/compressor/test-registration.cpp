// test-registration.cpp -- what the compressor plug-in registers, seen by a fake host under each
// host configuration that changes it.
//
// Each configuration runs in a child process (a death test) because the plug-in keeps the
// services it resolved for the life of the process. The child writes every mismatch to its
// standard error and exits with 1; the test shows that output when the exit status is not 0.
// Under LeakSanitizer a leak in the child makes its exit status non-zero too.
#include "binding-keys.h"
#include "fake-host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <set>
#include <sstream>

namespace {

using compressor_test::kBindingKeys;
using compressor_test::kGlobalFunctions;

enum class Access { kDirect, kFunction, kNone };

std::ostream &operator<<(std::ostream &out, Access a) {
    return out << (a == Access::kDirect ? "direct" : a == Access::kFunction ? "function" : "none");
}

Access AccessOf(void *accessor) {
    if (accessor == kPropertyDirect)
        return Access::kDirect;
    return accessor != nullptr ? Access::kFunction : Access::kNone;
}

struct PropertyShape {
    std::string_view name;
    std::string_view type;
    Access getter;
    Access setter;
};

struct ClassShape {
    std::string_view name;
    std::vector<PropertyShape> properties;
};

constexpr Access D = Access::kDirect, F = Access::kFunction, N = Access::kNone;

// The classes in registration order, each with its properties in table order.
const std::vector<ClassShape> kClasses = {
    {"ZLibCompressWQX",
     {{"TotalInput", "Integer", D, D},
      {"TotalOutput", "Integer", D, D},
      {"Error", "Integer", D, D},
      {"Version", "String", F, N},
      {"ErrorMessage", "String", F, N},
      {"CRC", "Integer", F, N}}},
    {"GZipFileWQX",
     {{"Handle", "Integer", D, D},
      {"Lasterror", "Integer", D, D},
      {"Version", "String", F, N},
      {"EOF", "Boolean", F, N},
      {"ErrorMessage", "String", F, N},
      {"ErrorCode", "Integer", F, N},
      {"Position", "Integer", F, F}}},
    {"ZLibDecompressWQX",
     {{"TotalInput", "Integer", D, D},
      {"TotalOutput", "Integer", D, D},
      {"Error", "Integer", D, D},
      {"ErrorMessage", "String", F, N},
      {"Version", "String", F, N}}},
};

// A text field of a record. Records read with the wrong width show small integers (flags) where
// a text pointer belongs; those are reported rather than followed.
std::string Text(const char *s) {
    if (s == nullptr)
        return "(null)";
    if (reinterpret_cast<std::uintptr_t>(s) < 4096)
        return "(not a pointer: " + std::to_string(reinterpret_cast<std::uintptr_t>(s)) + ")";
    return s;
}

template <class T> std::string Show(const T &value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

template <class T> std::string Show(const std::optional<T> &value) {
    return value ? Show(*value) : "nothing";
}

template <class T> std::string Show(const std::vector<T> &values) {
    std::string s = "[";
    for (const auto &v : values)
        s += (s.size() > 1 ? ", " : "") + Show(v);
    return s + "]";
}

class Problems {
public:
    template <class Got, class Expected>
    void Expect(const Got &got, const Expected &expected, const std::string &what) {
        if (!(got == expected))
            list_.push_back(what + ": got " + Show(got) + ", expected " + Show(expected));
    }

    // Element by element, so that a failure names the entry that differs.
    void ExpectSequence(const std::vector<std::string> &got,
                        const std::vector<std::string> &expected, const std::string &what) {
        Expect(got.size(), expected.size(), what + ", count");
        for (std::size_t i = 0; i < std::min(got.size(), expected.size()); ++i)
            Expect(got[i], expected[i], what + " #" + std::to_string(i));
    }

    void Add(const std::string &problem) { list_.push_back(problem); }
    std::size_t Count() const { return list_.size(); }

    [[noreturn]] void Exit() const {
        for (const auto &p : list_)
            std::cerr << p << '\n';
        std::exit(list_.empty() ? 0 : 1);
    }

private:
    std::vector<std::string> list_;
};

// The binding keys of a class without the "Class." prefix, in table order.
std::vector<std::string> KeysOf(std::string_view cls) {
    std::vector<std::string> keys;
    for (std::string_view key : kBindingKeys)
        if (key.size() > cls.size() && key.substr(0, cls.size()) == cls && key[cls.size()] == '.')
            keys.emplace_back(key.substr(cls.size() + 1));
    return keys;
}

bool IsAccessorKey(const std::string &key) {
    return key.ends_with(".Get") || key.ends_with(".Set");
}

std::vector<std::string> MethodKeys(std::string_view cls) {
    std::vector<std::string> methods;
    for (const auto &key : KeysOf(cls))
        if (key != "__init" && key != "__exit" && !IsAccessorKey(key))
            methods.push_back(key);
    return methods;
}

std::vector<std::string> AccessorKeys(std::string_view cls) {
    std::vector<std::string> accessors;
    for (const auto &key : KeysOf(cls))
        if (IsAccessorKey(key))
            accessors.push_back(key);
    return accessors;
}

template <std::size_t N> bool AllZero(const std::intptr_t (&words)[N]) {
    return std::all_of(std::begin(words), std::end(words), [](std::intptr_t w) { return w == 0; });
}

void *FunctionOf(const PluginClassDefinition &cls, bool shortRecords, std::string_view decl) {
    for (const auto &m : fake_host::ReadMethods(cls, shortRecords))
        if (Text(m.declaration) == decl)
            return m.function;
    return nullptr;
}

void *GetterOf(const PluginClassDefinition &cls, std::string_view property) {
    for (std::intptr_t i = 0; i < cls.propertyCount; ++i)
        if (Text(cls.properties[i].name) == property)
            return cls.properties[i].getter;
    return nullptr;
}

void CheckClass(const PluginClassDefinition &r, const ClassShape &shape, bool shortRecords,
                Problems &p) {
    const std::string cls(shape.name);
    p.Expect(Text(r.name), cls, "class name");
    p.Expect(r.version, std::intptr_t{kPluginInterfaceVersion}, cls + " version");
    p.Expect(Text(r.superName), std::string("(null)"), cls + " superclass");
    p.Expect(r.flags, std::intptr_t{kClassFlagsDefault}, cls + " flags");
    p.Expect(AllZero(r.reserved1) && AllZero(r.reserved2), true, cls + " reserved words all 0");
    p.Expect(r.constructor != nullptr, true, cls + " has a constructor (its __init key)");

    std::vector<std::string> declarations;
    for (const auto &m : fake_host::ReadMethods(r, shortRecords)) {
        const std::string what = cls + "." + Text(m.declaration);
        declarations.push_back(Text(m.declaration));
        p.Expect(m.function != nullptr, true, what + " has a function");
        p.Expect(m.setter == nullptr, true, what + " setter is 0");
        if (m.flags)
            p.Expect(*m.flags, std::intptr_t{kMethodFlagsDefault}, what + " flags");
    }
    p.ExpectSequence(declarations, MethodKeys(cls), cls + " method declarations");
    p.Expect(r.destructor == FunctionOf(r, shortRecords, "Close"), true,
             cls + " destructor is its Close");

    p.Expect(r.propertyCount, static_cast<std::intptr_t>(shape.properties.size()),
             cls + " property count");
    std::vector<std::string> accessors;
    std::set<std::intptr_t> directFields;
    const auto count =
        std::min<std::size_t>(static_cast<std::size_t>(r.propertyCount), shape.properties.size());
    for (std::size_t i = 0; i < count; ++i) {
        const PluginPropertyDefinition &prop = r.properties[i];
        const PropertyShape &want = shape.properties[i];
        const std::string what = cls + "." + std::string(want.name);
        p.Expect(Text(prop.name), std::string(want.name), cls + " property #" + std::to_string(i));
        p.Expect(Text(prop.type), std::string(want.type), what + " type");
        p.Expect(prop.flags, std::intptr_t{kPropertyFlagsDefault}, what + " flags");
        p.Expect(prop.group == nullptr && AllZero(prop.reserved), true,
                 what + " group and reserved words 0");
        p.Expect(AccessOf(prop.getter), want.getter, what + " getter");
        p.Expect(AccessOf(prop.setter), want.setter, what + " setter");
        if (want.getter == Access::kDirect) {
            // A direct property names an int32 field inside the data block, one of its own.
            p.Expect(prop.parameter >= 0 && prop.parameter % 4 == 0 &&
                         prop.parameter + 4 <= r.dataSize,
                     true, what + " parameter " + Show(prop.parameter) + " within the block");
            p.Expect(directFields.insert(prop.parameter).second, true,
                     what + " parameter shared with another property");
        } else {
            p.Expect(prop.parameter, std::intptr_t{0}, what + " parameter");
        }
        if (AccessOf(prop.getter) == Access::kFunction)
            accessors.push_back(std::string(want.name) + ".Get");
        if (AccessOf(prop.setter) == Access::kFunction)
            accessors.push_back(std::string(want.name) + ".Set");
    }
    p.ExpectSequence(accessors, AccessorKeys(cls), cls + " accessor keys");
}

// One object of each class runs through a short life in the fake host's blocks, so that the
// data sizes, the direct parameters and the use of dataOffset are checked against what the
// functions really touch.
void CheckObjects(const fake_host::Registration &reg, bool shortRecords, Problems &p) {
    const PluginClassDefinition &compress = *reg.classes[0];
    const PluginClassDefinition &gzip = *reg.classes[1];
    const PluginClassDefinition &decompress = *reg.classes[2];
    auto call = [&](const PluginClassDefinition &cls, std::string_view decl) {
        return FunctionOf(cls, shortRecords, decl);
    };
    {
        fake_host::Instance object(compress);
        reinterpret_cast<void (*)(void *, std::int32_t)>(
            call(compress, "InitZip(level as integer)"))(object.get(), 1);
        FrameworkString *input = fake_host::MakeString("abc");
        const auto taken = reinterpret_cast<std::int32_t (*)(void *, FrameworkString *)>(
            call(compress, "SetInput(data as string) as boolean"))(object.get(), input);
        fake_host::TakeString(input);
        reinterpret_cast<void (*)(void *)>(call(compress, "ProcessZip"))(object.get());
        reinterpret_cast<void (*)(void *)>(call(compress, "EndZip"))(object.get());
        const auto output = fake_host::TakeString(reinterpret_cast<FrameworkString *(*)(void *)>(
            call(compress, "GetOutput as string"))(object.get()));
        p.Expect(taken, 1, "ZLibCompressWQX SetInput(\"abc\")");
        p.Expect(object.Direct("Error"), std::optional<std::int32_t>(0), "ZLibCompressWQX.Error");
        p.Expect(object.Direct("TotalInput"), std::optional<std::int32_t>(3),
                 "ZLibCompressWQX.TotalInput after \"abc\"");
        p.Expect(
            object.Direct("TotalOutput"),
            std::optional<std::int32_t>(output ? static_cast<std::int32_t>(output->size()) : 0),
            "ZLibCompressWQX.TotalOutput against the output's length");
        reinterpret_cast<void (*)(void *)>(call(compress, "Close"))(object.get());
        p.Expect(object.HeaderIntact(), true, "ZLibCompressWQX leaves the host's header alone");
    }
    {
        fake_host::Instance object(decompress);
        reinterpret_cast<void (*)(void *)>(call(decompress, "InitZip"))(object.get());
        reinterpret_cast<void (*)(void *)>(call(decompress, "EndZip"))(object.get());
        p.Expect(object.Direct("Error"), std::optional<std::int32_t>(0),
                 "ZLibDecompressWQX.Error after InitZip and EndZip");
        p.Expect(object.HeaderIntact(), true, "ZLibDecompressWQX leaves the host's header alone");
    }
    {
        fake_host::Instance object(gzip);
        reinterpret_cast<void (*)(void *)>(call(gzip, "Close"))(object.get());
        p.Expect(object.Direct("Lasterror"), std::optional<std::int32_t>(0),
                 "GZipFileWQX.Lasterror after Close without a file");
        p.Expect(object.HeaderIntact(), true, "GZipFileWQX leaves the host's header alone");
    }
    p.Expect(fake_host::LiveStrings(), 0, "strings still referenced once the objects are gone");
}

void CheckShared(const fake_host::Registration &reg, bool shortRecords, Problems &p) {
    std::set<void *> adler, crc, version;
    for (const PluginClassDefinition *cls : reg.classes) {
        adler.insert(
            FunctionOf(*cls, shortRecords, "Adler32(start as integer, data as string) as integer"));
        crc.insert(
            FunctionOf(*cls, shortRecords, "CRC32(start as integer, data as string) as integer"));
        version.insert(GetterOf(*cls, "Version"));
    }
    p.Expect(adler.size() == 1 && crc.size() == 1 && version.size() == 1, true,
             "one function serves Adler32, CRC32 and the Version getter of every class");
}

struct Case {
    const char *name;
    fake_host::Config config;
    bool shortRecords;
};

void CheckInThisProcess(const Case &c) {
    Problems p;
    fake_host::Registration reg;
    std::string error;
    if (!fake_host::Load(VELLUMET_PLUGIN_DIR "/libcompressor.so", c.config, &reg, &error)) {
        p.Add(error);
        p.Exit();
    }
    p.Expect(reg.announcedVersions, std::vector<std::int32_t>{kPluginInterfaceVersion},
             "interface versions announced");

    const std::size_t classes = c.config.offerRegisterClass ? kClasses.size() : 0;
    p.Expect(reg.classes.size(), classes, "classes registered");
    if (reg.classes.size() == classes && classes > 0) {
        for (std::size_t i = 0; i < classes; ++i)
            CheckClass(*reg.classes[i], kClasses[i], c.shortRecords, p);
        CheckShared(reg, c.shortRecords, p);
        // Calling through records already found wrong would only crash the child.
        if (p.Count() == 0)
            CheckObjects(reg, c.shortRecords, p);
    }

    std::vector<std::string> globals;
    for (const PluginMethodDefinition *m : reg.globals) {
        globals.push_back(Text(m->declaration));
        p.Expect(m->function != nullptr && m->setter == nullptr, true,
                 Text(m->declaration) + " has a function and no setter");
        p.Expect(m->flags, std::intptr_t{kMethodFlagsDefault}, Text(m->declaration) + " flags");
    }
    std::vector<std::string> expectedGlobals;
    if (c.config.offerRegisterMethod)
        expectedGlobals.assign(kGlobalFunctions.begin(), kGlobalFunctions.end());
    p.ExpectSequence(globals, expectedGlobals, "global functions");
    p.Exit();
}

using fake_host::Version;

const Case kCases[] = {
    {"Host59GetsFullMethodRecords", {Version::k5_9, true, true}, false},
    {"Host58GetsShortMethodRecords", {Version::k5_8, true, true}, true},
    {"HostWithoutVersionGetsShortMethodRecords", {Version::kMissing, true, true}, true},
    {"HostWithNaNVersionGetsFullMethodRecords", {Version::kNaN, true, true}, false},
    {"WithoutRegisterClassGlobalsStillRegister", {Version::k5_9, false, true}, false},
    {"WithoutRegisterMethodClassesStillRegister", {Version::k5_8, true, false}, true},
};

class FakeHostDeathTest : public testing::TestWithParam<Case> {};

TEST_P(FakeHostDeathTest, RegistersEveryRecord) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(CheckInThisProcess(GetParam()), testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Configurations, FakeHostDeathTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case> &param) {
                             return std::string(param.param.name);
                         });

} // namespace
