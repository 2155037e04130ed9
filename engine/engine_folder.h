// The engine's private folder, kalvero-pspp-XXXXXX in the temporary folder
// (TMPDIR, else /tmp). It holds a lock for as long as its engine lives, so
// that a later start can tell a folder left by an instance that died (its
// lock is free, however the instance ended) from one still in use.
#pragma once

#include <string>

namespace kalvero {

class EngineFolder {
public:
    // Throws EngineError naming the temporary folder when it cannot be made.
    EngineFolder();
    ~EngineFolder();
    EngineFolder(const EngineFolder&) = delete;
    EngineFolder& operator=(const EngineFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Removes the folder and all in it; the destructor does the same.
    void Remove();

private:
    std::string path_;
    int lock_ = -1;
};

// The temporary folder the engine folders go into.
std::string TemporaryFolder();

// Removes the engine folders of this user that no engine holds any more;
// returns how many it removed. A folder without a lock is left alone while
// it is young, since its engine may be creating it.
int RemoveStaleEngineFolders();

} // namespace kalvero
