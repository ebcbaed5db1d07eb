// The desktop and Programs folder routines: which folder they choose for a
// classification and CurrentUserOnly, and that the path is the one the
// system reports for that folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "shell/shell_folders.h"
#include "shell/shell_version.h"

using namespace Velmora;

namespace {

const int CommonDesktop = 25;  // CSIDL_COMMON_DESKTOPDIRECTORY
const int UserDesktop = 16;    // CSIDL_DESKTOPDIRECTORY
const int CommonPrograms = 23; // CSIDL_COMMON_PROGRAMS
const int UserPrograms = 2;    // CSIDL_PROGRAMS

std::string SystemFolder(int Folder) {
    char Path[MAX_PATH] = "";
    EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, Folder, nullptr, SHGFP_TYPE_CURRENT, Path))
        << "folder " << Folder;
    return Path;
}

typedef void (*FolderRoutine)(bool, char*);

// The routine's answer, from a buffer filled with junk beforehand so that a
// missing terminator or an unwritten buffer shows.
std::string Ask(FolderRoutine Routine, uint32_t Flags, bool CurrentUserOnly) {
    const uint32_t Saved = WindowsVersionFlags;
    WindowsVersionFlags = Flags;
    char Buffer[MAX_PATH + 1];
    std::memset(Buffer, '#', sizeof Buffer);
    Buffer[MAX_PATH] = '\0';
    Routine(CurrentUserOnly, Buffer);
    WindowsVersionFlags = Saved;
    return Buffer;
}

const uint32_t NtClassifications[] = {0x10, 0x20, 0x40};
const uint32_t OtherClassifications[] = {0x00, 0x01, 0x02, 0x04, 0x08};

struct FolderPair {
    const char* Name;
    FolderRoutine Routine;
    int AllUsers;
    int CurrentUser;
};

const FolderPair Pairs[] = {
    {"desktop", GetDesktopFolder, CommonDesktop, UserDesktop},
    {"programs", GetProgramsFolder, CommonPrograms, UserPrograms},
};

TEST(SpecialFolders, AllUsersAndPerUserFoldersDifferOnThisSystem) {
    // Otherwise the tests below could not tell the two choices apart.
    for (const FolderPair& Pair : Pairs) {
        const std::string AllUsers = SystemFolder(Pair.AllUsers);
        const std::string CurrentUser = SystemFolder(Pair.CurrentUser);
        EXPECT_FALSE(AllUsers.empty()) << Pair.Name;
        EXPECT_FALSE(CurrentUser.empty()) << Pair.Name;
        EXPECT_NE(AllUsers, CurrentUser) << Pair.Name;
    }
}

TEST(SpecialFolders, NtSystemsGetTheAllUsersFolderUnlessCurrentUserOnly) {
    for (const FolderPair& Pair : Pairs) {
        const std::string AllUsers = SystemFolder(Pair.AllUsers);
        const std::string CurrentUser = SystemFolder(Pair.CurrentUser);
        for (uint32_t Flags : NtClassifications) {
            EXPECT_EQ(AllUsers, Ask(Pair.Routine, Flags, false)) << Pair.Name << " " << Flags;
            EXPECT_EQ(CurrentUser, Ask(Pair.Routine, Flags, true)) << Pair.Name << " " << Flags;
        }
    }
}

TEST(SpecialFolders, OtherSystemsAlwaysGetThePerUserFolder) {
    for (const FolderPair& Pair : Pairs) {
        const std::string CurrentUser = SystemFolder(Pair.CurrentUser);
        for (uint32_t Flags : OtherClassifications) {
            EXPECT_EQ(CurrentUser, Ask(Pair.Routine, Flags, false)) << Pair.Name << " " << Flags;
            EXPECT_EQ(CurrentUser, Ask(Pair.Routine, Flags, true)) << Pair.Name << " " << Flags;
        }
    }
}

TEST(SpecialFolders, TheRunningSystemsOwnClassificationChoosesAllUsers) {
    // Wine reports an NT system, so the start-up classification keeps the
    // all-users folders.
    const uint32_t Saved = WindowsVersionFlags;
    InitialiseShellModule();
    char Buffer[MAX_PATH];
    GetDesktopFolder(false, Buffer);
    WindowsVersionFlags = Saved;
    EXPECT_EQ(SystemFolder(CommonDesktop), Buffer);
}

TEST(SpecialFolders, FolderWithoutAPathLeavesAnEmptyString) {
    char Buffer[MAX_PATH];
    // "My Computer" has an item list but no file-system path.
    std::memset(Buffer, '#', sizeof Buffer);
    GetSpecialFolder(true, CSIDL_DRIVES, CSIDL_DRIVES, Buffer);
    EXPECT_STREQ("", Buffer);
    // A folder number the shell does not know has no item list at all.
    std::memset(Buffer, '#', sizeof Buffer);
    GetSpecialFolder(true, 0xFF, 0xFF, Buffer);
    EXPECT_STREQ("", Buffer);
}

} // namespace
