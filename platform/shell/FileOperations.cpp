#include "platform/shell/Shell.h"

#include "platform/system/System.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool fail(std::string* error, const std::string& text)
{
    if (error) *error = text;
    return false;
}

bool endsWithSeparator(const std::string& s) { return !s.empty() && (s.back() == '/' || s.back() == '\\'); }

// Where a copy or move of source to target lands.
fs::path destinationFor(const fs::path& source, const std::string& target)
{
    const fs::path to(ToFileSystemPath(target));
    std::error_code ec;
    if (endsWithSeparator(target) || fs::is_directory(to, ec)) return to / source.filename();
    return to;
}

bool sameEntry(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

bool copyEntry(const fs::path& from, const fs::path& to, std::string* error)
{
    std::error_code ec;
    if (to.has_parent_path()) fs::create_directories(to.parent_path(), ec);
    if (fs::is_directory(from, ec)) {
        // A folder copied into itself would never end.
        const fs::path canonicalFrom = fs::weakly_canonical(from, ec);
        const fs::path canonicalTo = fs::weakly_canonical(to, ec);
        auto mismatch =
            std::mismatch(canonicalFrom.begin(), canonicalFrom.end(), canonicalTo.begin(), canonicalTo.end());
        if (mismatch.first == canonicalFrom.end())
            return fail(error, "Cannot copy a folder into itself: " + from.string());
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec) return fail(error, "Cannot copy " + from.string() + " to " + to.string() + ": " + ec.message());
        return true;
    }
    const auto time = fs::last_write_time(from, ec);
    if (ec) return fail(error, "Cannot read " + from.string() + ": " + ec.message());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) return fail(error, "Cannot copy " + from.string() + " to " + to.string() + ": " + ec.message());
    fs::last_write_time(to, time, ec);
    return true;
}

}  // namespace

bool FileOperation(TFileOperation operation, const std::string& source, const std::string& target, std::string* error)
{
    if (source.empty()) return fail(error, "No source given");
    const fs::path from(ToFileSystemPath(source));
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(from, ec))) return fail(error, "Cannot find " + from.string());

    switch (operation) {
    case TFileOperation::Copy:
    case TFileOperation::Move: {
        if (target.empty()) return fail(error, "No target given");
        const fs::path to = destinationFor(from, target);
        if (sameEntry(from, to)) return fail(error, "Source and target are the same: " + from.string());
        if (operation == TFileOperation::Copy) return copyEntry(from, to, error);
        if (to.has_parent_path()) fs::create_directories(to.parent_path(), ec);
        if (fs::is_directory(to, ec) && !fs::is_directory(from, ec))
            return fail(error, "A folder is in the way: " + to.string());
        if (!fs::is_directory(from, ec) && fs::exists(to, ec)) fs::remove(to, ec);
        fs::rename(from, to, ec);
        if (!ec) return true;
        if (ec != std::errc::cross_device_link)
            return fail(error, "Cannot move " + from.string() + " to " + to.string() + ": " + ec.message());
        if (!copyEntry(from, to, error)) return false;
        fs::remove_all(from, ec);
        if (ec) return fail(error, "Copied, but cannot remove " + from.string() + ": " + ec.message());
        return true;
    }
    case TFileOperation::Delete: {
        fs::remove_all(from, ec);
        if (ec) return fail(error, "Cannot delete " + from.string() + ": " + ec.message());
        return true;
    }
    case TFileOperation::Rename: {
        if (target.empty()) return fail(error, "No target given");
        fs::path to(ToFileSystemPath(target));
        if (!to.has_parent_path()) to = from.parent_path() / to;
        if (fs::exists(fs::symlink_status(to, ec)))
            return fail(error, "Cannot rename " + from.string() + ": " + to.string() + " exists");
        fs::rename(from, to, ec);
        if (ec) return fail(error, "Cannot rename " + from.string() + " to " + to.string() + ": " + ec.message());
        return true;
    }
    }
    return fail(error, "Unknown file operation");
}
