// Recording fakes of the registry and the program launcher for the help
// window and about box tests, and a guard that installs them with a
// recording message service in Services() for one test.
#pragma once

#include "batch/system_services.h"
#include "tests/support/fakes.h"
#include "windows/common/window_services.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalvero::test {

using FakeMessages = kalvero::testing::FakeMessages;

struct FakeValue {
    std::uint32_t type = 1;
    std::vector<unsigned char> bytes;
    long queryResult = 0; // anything else fails the read
};

struct FakeKey {
    long openResult = 0; // anything else fails the open (e.g. 5, access denied)
    std::map<std::string, FakeValue> values;
};

class FakeRegistry : public Registry {
public:
    struct OpenCall {
        std::int32_t root;
        std::string subKey;
        std::uint32_t options;
        std::uint32_t access;
    };
    struct QueryCall {
        Key key;
        std::string valueName;
        std::size_t bufferSize;
        std::uint32_t sizeGiven;
        bool bufferZeroed;
    };

    long OpenKey(std::int32_t root, const std::string& subKey, std::uint32_t options,
                 std::uint32_t access, Key& key) override {
        opens.push_back({root, subKey, options, access});
        const auto found = keys.find(subKey);
        if (found == keys.end())
            return 2;
        if (found->second.openResult != 0)
            return found->second.openResult;
        handles.push_back(subKey);
        key = handles.size(); // never 0
        ++openKeys;
        return 0;
    }

    long QueryValue(Key key, const std::string& valueName, std::uint32_t& type,
                    std::vector<unsigned char>& data, std::uint32_t& size) override {
        bool zeroed = true;
        for (unsigned char byte : data)
            zeroed = zeroed && byte == 0;
        queries.push_back({key, valueName, data.size(), size, zeroed});
        if (key == 0 || key > handles.size())
            return 6;
        const FakeKey& fakeKey = keys.at(handles[key - 1]);
        const auto found = fakeKey.values.find(valueName);
        if (found == fakeKey.values.end())
            return 2;
        const FakeValue& value = found->second;
        if (value.queryResult != 0)
            return value.queryResult;
        if (value.bytes.size() > size || value.bytes.size() > data.size())
            return 234; // more data than the buffer holds
        std::copy(value.bytes.begin(), value.bytes.end(), data.begin());
        size = static_cast<std::uint32_t>(value.bytes.size());
        type = value.type;
        return 0;
    }

    long CloseKey(Key key) override {
        closes.push_back(key);
        --openKeys;
        return 0;
    }

    std::vector<std::string> OpenedSubKeys() const {
        std::vector<std::string> names;
        for (const OpenCall& call : opens)
            names.push_back(call.subKey);
        return names;
    }

    std::map<std::string, FakeKey> keys;
    std::vector<OpenCall> opens;
    std::vector<QueryCall> queries;
    std::vector<Key> closes;
    std::vector<std::string> handles;
    int openKeys = 0; // opened and not yet closed
};

class FakeLauncher : public ProgramLauncher {
public:
    void Start(const std::string& commandLine) override {
        started.push_back(commandLine);
        // Like the real one, an empty command line starts nothing.
        if (failStart || commandLine.empty())
            throw std::runtime_error("Cannot start " + commandLine);
    }
    bool FileExists(const std::string& path) override {
        asked.push_back(path);
        for (const std::string& file : files)
            if (file == path)
                return true;
        return false;
    }

    std::vector<std::string> files;
    bool failStart = false;
    std::vector<std::string> started;
    std::vector<std::string> asked;
};

// Installs the fakes in Services() and restores what was there before.
class FakeSystemServices {
public:
    FakeSystemServices() : saved_(Services()) {
        Services().messages = &messages;
        Services().registry = &registry;
        Services().launcher = &launcher;
    }
    ~FakeSystemServices() { Services() = saved_; }
    FakeSystemServices(const FakeSystemServices&) = delete;
    FakeSystemServices& operator=(const FakeSystemServices&) = delete;

    FakeMessages messages;
    FakeRegistry registry;
    FakeLauncher launcher;

private:
    WindowServices saved_;
};

} // namespace kalvero::test
