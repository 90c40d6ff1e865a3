#pragma once

#include <string>
#include <string_view>

namespace gpslib::test {

// A new, empty directory under $TMPDIR (or /tmp), removed with everything in it when the object
// goes. Throws std::runtime_error when it cannot be made, which fails the test that asked.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + name.
    std::string File(std::string_view name) const;

private:
    std::string m_path;
};

// The whole file as bytes ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);

} // namespace gpslib::test
