#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fakes/TempFolder.h"
#include "common/ProfileFile.h"

namespace uhf {
namespace {

// Owners, modes and links of the file that a write replaces.
class ProfileFileOwnerTest : public ::testing::Test {
  protected:
    test::TempFolder folder;
    std::string path = folder.PathOf("System.ini");
    ProfileFile file{path};
};

TEST_F(ProfileFileOwnerTest, WriteKeepsTheFilesPermissionsAndFollowsASymbolicLink) {
    folder.Write("real.ini", "[S]\r\nk=1\r\n");
    ::chmod(folder.PathOf("real.ini").c_str(), 0600);
    std::filesystem::create_symlink("real.ini", path);
    ASSERT_TRUE(file.WriteString("S", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(folder.Read("real.ini"), "[S]\r\nk=2\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(folder.PathOf("real.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// The owner of a replaced file, as stat sees it.
struct Owner {
    uid_t uid;
    gid_t gid;
    mode_t mode;
};

Owner OwnerOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return {info.st_uid, info.st_gid, static_cast<mode_t>(info.st_mode & 07777)};
}

TEST_F(ProfileFileOwnerTest, AdministratorsWriteKeepsTheFileWithItsOwner) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the file to another user";
    }
    folder.Write("System.ini", "[S]\r\nk=1\r\n");
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(file.WriteString("S", "k", "2"));
    EXPECT_EQ(folder.Read("System.ini"), "[S]\r\nk=2\r\n");
    Owner owner = OwnerOf(path);
    EXPECT_EQ(owner.uid, 1234u);
    EXPECT_EQ(owner.gid, 5678u);
    EXPECT_EQ(owner.mode, 0640u);
}

TEST_F(ProfileFileOwnerTest, GroupMemberWritesASharedFileWithoutTakingItOver) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as two users";
    }
    // A file of user 1234 that the group 4321 may write; a member of the group changes it.
    folder.Write("System.ini", "[S]\r\nk=1\r\n[T]\r\nkeep=long enough to be cut\r\n");
    ASSERT_EQ(::chmod(folder.Dir().c_str(), 0777), 0);
    ASSERT_EQ(::chown(path.c_str(), 1234, 4321), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The member may not give a new file to user 1234.
        const gid_t group = 4321;
        if (::setgroups(1, &group) != 0 || ::setgid(group) != 0 || ::setuid(4321) != 0) {
            ::_exit(2);
        }
        ::_exit(file.WriteString("S", "k", "2") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(folder.Read("System.ini"), "[S]\r\nk=2\r\n[T]\r\nkeep=long enough to be cut\r\n");
    Owner owner = OwnerOf(path);
    EXPECT_EQ(owner.uid, 1234u);
    EXPECT_EQ(owner.gid, 4321u);
    EXPECT_EQ(owner.mode, 0664u);
    EXPECT_EQ(folder.Names().size(), 1u) << "no temporary file is left behind";
}

}  // namespace
}  // namespace uhf
