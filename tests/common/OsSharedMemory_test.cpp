#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/ChildProcess.h"
#include "common/PausedCalls.h"
#include "common/os/Os.h"

using namespace vexa;
using vexatest::runInChild;

namespace {

// A name no other run uses; both system objects are removed when the test ends.
class SharedName {
public:
    SharedName() {
        static std::atomic<int> serial{0};
        name_ = "VexaTest" + std::to_string(getpid()) + "_" + std::to_string(serial++);
    }
    ~SharedName() {
        shm_unlink(("/" + name_ + "_SHM").c_str());
        sem_unlink(("/" + name_ + "_SEM").c_str());
    }
    const char* c_str() const { return name_.c_str(); }
    std::string shmFile() const { return "/dev/shm/" + name_ + "_SHM"; }
    std::string semFile() const { return "/dev/shm/sem." + name_ + "_SEM"; }

private:
    std::string name_;
};

off_t objectSize(const SHMOBJECT_HANDLE& h) {
    struct stat st;
    return fstat(h.fd, &st) == 0 ? st.st_size : -1;
}

mode_t fileMode(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

}  // namespace

TEST(OsSharedMemory, CreatorSizesTheObjectForEveryone) {
    SharedName name;
    const mode_t mask = umask(077);
    SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(name.c_str(), 100);
    EXPECT_EQ(umask(mask), mode_t(077)) << "the process mask must come back";
    ASSERT_NE(h.sem, nullptr);
    EXPECT_EQ(h.created, 1);
    EXPECT_EQ(h.waitTimedOut, 0);
    EXPECT_EQ(objectSize(h), 100);
    // Every user of the host may join, whatever the creator's mask.
    EXPECT_EQ(fileMode(name.shmFile()), mode_t(0666));
    EXPECT_EQ(fileMode(name.semFile()), mode_t(0666));

    auto* mem = static_cast<unsigned char*>(OsMapSharedMemoryObject(h, 100));
    ASSERT_NE(mem, MAP_FAILED);
    EXPECT_EQ(mem[99], 0);
    mem[0] = 42;

    SHMOBJECT_HANDLE again = OsCreateSharedMemoryObject(name.c_str(), 100);
    ASSERT_NE(again.sem, nullptr);
    EXPECT_EQ(again.created, 0);
    auto* other = static_cast<unsigned char*>(OsMapSharedMemoryObject(again, 100));
    ASSERT_NE(other, MAP_FAILED);
    EXPECT_EQ(other[0], 42);

    EXPECT_TRUE(OsUnmapSharedMemoryObject(other, 100));
    EXPECT_TRUE(OsUnmapSharedMemoryObject(mem, 100));
    EXPECT_EQ(OsCloseSharedMemoryObject(again), 0);
    EXPECT_EQ(OsCloseSharedMemoryObject(h), 0);
    EXPECT_EQ(h.fd, 0);
    EXPECT_EQ(h.sem, nullptr);
    EXPECT_EQ(OsCloseSharedMemoryObject(h), -1) << "a second close touches nothing";

    // Closing removes nothing from the system.
    SHMOBJECT_HANDLE later = OsCreateSharedMemoryObject(name.c_str(), 100);
    ASSERT_NE(later.sem, nullptr);
    EXPECT_EQ(later.created, 0);
    EXPECT_EQ(OsCloseSharedMemoryObject(later), 0);
}

TEST(OsSharedMemory, CreatedFlagAcrossFork) {
    SharedName name;
    SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(name.c_str(), 1);
    ASSERT_NE(h.sem, nullptr);
    EXPECT_EQ(h.created, 1);
    const int rc = runInChild([&name] {
        SHMOBJECT_HANDLE mine = OsCreateSharedMemoryObject(name.c_str(), 1);
        CHILD_CHECK(mine.sem != nullptr);
        CHILD_CHECK(mine.created == 0);
        auto* byte = static_cast<unsigned char*>(OsMapSharedMemoryObject(mine, 1));
        CHILD_CHECK(byte != MAP_FAILED);
        CHILD_CHECK(OsLockSharedMemoryObject(mine) == OS_OK);
        *byte = 7;
        CHILD_CHECK(OsUnlockSharedMemoryObject(mine) == OS_OK);
        CHILD_CHECK(OsCloseSharedMemoryObject(mine) == 0);
        return 0;
    });
    EXPECT_EQ(rc, 0);
    auto* byte = static_cast<unsigned char*>(OsMapSharedMemoryObject(h, 1));
    ASSERT_NE(byte, MAP_FAILED);
    EXPECT_EQ(*byte, 7);
    OsUnmapSharedMemoryObject(byte, 1);
    OsCloseSharedMemoryObject(h);
}

// Many processes open a fresh name at once, as participants starting together do: exactly one
// creates it, nobody maps it before it is sized (that would be SIGBUS), and the counter they
// all bump under the lock loses no increment. Sizing is slowed down, so that the others always
// arrive while the creator is between creating and sizing.
TEST(OsSharedMemory, ConcurrentCreatorsRace) {
    constexpr int CHILDREN = 16;
    constexpr int BUMPS = 200;
    constexpr size_t SIZE = 2 * 4096;
    SharedName name;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> pids;
    for (int i = 0; i < CHILDREN; ++i) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(gate[1]);
            char c;
            if (read(gate[0], &c, 1) != 0) {  // all start when the pipe closes
                _exit(3);
            }
            vexatest::g_ftruncatePauseMs = 100;
            SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(name.c_str(), SIZE);
            vexatest::g_ftruncatePauseMs = 0;
            if (h.sem == nullptr) {
                _exit(4);
            }
            auto* mem = static_cast<volatile uint32_t*>(OsMapSharedMemoryObject(h, SIZE));
            if (mem == MAP_FAILED) {
                _exit(5);
            }
            for (int n = 0; n < BUMPS; ++n) {
                if (OsLockSharedMemoryObject(h) != OS_OK) {
                    _exit(6);
                }
                mem[SIZE / sizeof(uint32_t) - 1] = mem[SIZE / sizeof(uint32_t) - 1] + 1;
                OsUnlockSharedMemoryObject(h);
            }
            _exit(h.created ? 10 : 11);
        }
        pids.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    int creators = 0;
    int joiners = 0;
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "child died of signal " << WTERMSIG(status);
        const int code = WEXITSTATUS(status);
        creators += code == 10;
        joiners += code == 11;
    }
    EXPECT_EQ(creators, 1);
    EXPECT_EQ(joiners, CHILDREN - 1);

    SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(name.c_str(), SIZE);
    ASSERT_NE(h.sem, nullptr);
    EXPECT_EQ(h.created, 0);
    auto* mem = static_cast<uint32_t*>(OsMapSharedMemoryObject(h, SIZE));
    ASSERT_NE(mem, MAP_FAILED);
    EXPECT_EQ(mem[SIZE / sizeof(uint32_t) - 1], uint32_t(CHILDREN * BUMPS));
    OsUnmapSharedMemoryObject(mem, SIZE);
    OsCloseSharedMemoryObject(h);
}

// A process killed while holding the host-wide lock must not hang every later one: the wait
// gives up, the caller goes on, and its unlock mends the lock for those after it.
TEST(OsSharedMemory, LockOfADeadHolderTimesOutAndIsMended) {
    SharedName name;
    SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(name.c_str(), 1);
    ASSERT_NE(h.sem, nullptr);
    const auto dieHoldingTheLock = [&name] {
        SHMOBJECT_HANDLE mine = OsCreateSharedMemoryObject(name.c_str(), 1);
        CHILD_CHECK(OsLockSharedMemoryObject(mine) == OS_OK);
        _exit(0);
        return 0;
    };

    // Opening goes on after the wait, and mends the lock on its way out.
    ASSERT_EQ(runInChild(dieHoldingTheLock), 0);
    uint64_t start = OsGetMonotonicMks();
    SHMOBJECT_HANDLE late = OsCreateSharedMemoryObject(name.c_str(), 1);
    EXPECT_GE(OsGetMonotonicMks() - start, uint64_t(OS_SHM_LOCK_WAIT_MS) * 1000);
    ASSERT_NE(late.sem, nullptr);
    EXPECT_EQ(late.created, 0);
    EXPECT_EQ(late.waitTimedOut, 1);
    EXPECT_EQ(OsLockSharedMemoryObject(h), OS_OK);
    EXPECT_EQ(OsUnlockSharedMemoryObject(h), OS_OK);

    // The same for a lock.
    ASSERT_EQ(runInChild(dieHoldingTheLock), 0);
    start = OsGetMonotonicMks();
    EXPECT_EQ(OsLockSharedMemoryObject(h), OS_TIMEOUT);
    EXPECT_GE(OsGetMonotonicMks() - start, uint64_t(OS_SHM_LOCK_WAIT_MS) * 1000);
    EXPECT_EQ(OsUnlockSharedMemoryObject(h), OS_OK);
    EXPECT_EQ(OsLockSharedMemoryObject(late), OS_OK);
    // Taken again, and exclusive: nobody else gets in.
    EXPECT_EQ(sem_trywait(h.sem), -1);
    EXPECT_EQ(OsUnlockSharedMemoryObject(late), OS_OK);
    OsCloseSharedMemoryObject(late);
    OsCloseSharedMemoryObject(h);
}

// An unlock too many must not let two holders in at once later.
TEST(OsSharedMemory, ExtraUnlockKeepsTheLockExclusive) {
    SharedName name;
    SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(name.c_str(), 1);
    ASSERT_NE(h.sem, nullptr);
    ASSERT_EQ(OsLockSharedMemoryObject(h), OS_OK);
    EXPECT_EQ(OsUnlockSharedMemoryObject(h), OS_OK);
    EXPECT_EQ(OsUnlockSharedMemoryObject(h), OS_OK);
    int value = -1;
    ASSERT_EQ(sem_getvalue(h.sem, &value), 0);
    EXPECT_EQ(value, 1);
    OsCloseSharedMemoryObject(h);
}

// A creator that died between creating and sizing left an empty object: the next caller
// sizes it and initialises it as its creator.
TEST(OsSharedMemory, EmptyObjectLeftByADeadCreatorIsTakenOver) {
    SharedName name;
    const int fd = shm_open(("/" + std::string(name.c_str()) + "_SHM").c_str(),
                            O_CREAT | O_EXCL | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(name.c_str(), 64);
    ASSERT_NE(h.sem, nullptr);
    EXPECT_EQ(h.created, 1);
    EXPECT_EQ(objectSize(h), 64);
    OsCloseSharedMemoryObject(h);
}

TEST(OsSharedMemory, FailuresGiveTheAllZeroHandle) {
    for (const char* bad : {static_cast<const char*>(nullptr), "no/slash/allowed"}) {
        SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(bad, 1);
        EXPECT_EQ(h.fd, 0);
        EXPECT_EQ(h.sem, nullptr);
        EXPECT_EQ(h.created, 0);
        EXPECT_EQ(OsMapSharedMemoryObject(h, 1), MAP_FAILED);
        EXPECT_EQ(OsLockSharedMemoryObject(h), OS_LOCK_FAILED);
        EXPECT_EQ(OsUnlockSharedMemoryObject(h), OS_LOCK_FAILED);
        EXPECT_EQ(OsCloseSharedMemoryObject(h), -1);
    }
    SharedName name;
    SHMOBJECT_HANDLE h = OsCreateSharedMemoryObject(name.c_str(), 1);
    ASSERT_NE(h.sem, nullptr);
    EXPECT_EQ(OsMapSharedMemoryObject(h, 0), MAP_FAILED);
    OsCloseSharedMemoryObject(h);
}
