#include "DacOff.h"
#include "formats/Cp1251.h"
#include "formats/GameError.h"
#include "score/Disk.h"
#include "score/ScoreFile.h"
#include "score/ScoreText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

// Games that load and save the score list side by side, their system calls scheduled one at a
// time: each game runs on a thread of its own, and every call it makes through the disk waits until
// the schedule lets that game go on. A schedule stops a game at any call while the others load and
// save, then lets it go on or kills it there (a kill in the middle of a write leaves half of it).
// After every schedule one checker loads each folder as the next game would and holds what a
// player relies on. A failing schedule prints its name and seed; PEMY_SCHEDULE=<seed> replays it,
// PEMY_SCHEDULES=<count> sets how many random schedules each scenario runs.
namespace {

const QString kSeparator = QString::fromUtf16(ScoreText::kSeparator);

// What a game's seam throws where the schedule kills it.
struct Killed {};

// One step of a schedule: let `game` make `calls` more calls (-1: to its end), or kill it at its
// next call, or let the world change (`event`).
struct Segment {
    int game = -1;
    int calls = -1;
    bool kill = false;
    std::function<void()> event;
};

// Hands the one right to run from the schedule to a game and back.
class Baton {
public:
    explicit Baton(int games)
        : m_budget(games, 0), m_kill(games, false), m_stopped(games, false), m_done(games, false)
    {
    }
    // A game's call: waits for its budget; false where the schedule kills it.
    bool gate(int game)
    {
        std::unique_lock lock(m_mutex);
        if (m_budget[game] == 0) {
            m_stopped[game] = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_budget[game] != 0 || m_kill[game]; });
            m_stopped[game] = false;
        }
        if (m_kill[game])
            return false;
        if (m_budget[game] > 0)
            --m_budget[game];
        ++m_clock;
        return true;
    }
    // How many calls all games have made.
    int now()
    {
        const std::lock_guard lock(m_mutex);
        return m_clock;
    }
    // The schedule: lets `game` make up to `calls` calls (or dies), and waits until it stops.
    void run(int game, int calls, bool kill)
    {
        std::unique_lock lock(m_mutex);
        if (m_done[game] || (calls == 0 && !kill))
            return;
        m_budget[game] = calls < 0 ? 1 << 30 : calls;
        m_kill[game] = kill;
        m_stopped[game] = false;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_stopped[game]; });
    }
    // The game's end: for good.
    void finish(int game)
    {
        const std::lock_guard lock(m_mutex);
        m_stopped[game] = true;
        m_done[game] = true;
        m_budget[game] = 0;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_budget;
    std::vector<bool> m_kill;
    std::vector<bool> m_stopped;
    std::vector<bool> m_done;
    int m_clock = 0;
};

// The disk of one game: every call waits for the game's turn in the schedule. Waiting for a file's
// turn runs on a clock of the game's own, so that a stalled game costs no real time.
class ScheduledDisk : public Disk {
public:
    ScheduledDisk(Baton &baton, int game) : m_baton(baton), m_game(game) {}
    int calls = 1;                 // the start counts as one
    bool saving = false;           // set while the game saves
    std::atomic<bool> turnTaken{}; // the save has held a file's turn

    int openat(int folder, const char *name, int flags, mode_t mode) override
    {
        gate();
        return Disk::openat(folder, name, flags, mode);
    }
    ssize_t read(int fd, void *buffer, size_t size) override
    {
        gate();
        return Disk::read(fd, buffer, size);
    }
    ssize_t pwrite(int fd, const void *buffer, size_t size, off_t offset) override
    {
        try {
            gate();
        } catch (const Killed &) {
            // Killed in the middle of the write: in the last line, where a new result would be.
            Disk::pwrite(fd, buffer, size > 3 ? size - 3 : 0, offset);
            throw;
        }
        return Disk::pwrite(fd, buffer, size, offset);
    }
    int fsync(int fd) override { return gate(), Disk::fsync(fd); }
    int fsyncFolder(int fd) override { return gate(), Disk::fsyncFolder(fd); }
    int ftruncate(int fd, off_t size) override { return gate(), Disk::ftruncate(fd, size); }
    int reserve(int fd, off_t size) override { return gate(), Disk::reserve(fd, size); }
    int renameat(int fromFolder, const char *from, int toFolder, const char *to) override
    {
        gate();
        return Disk::renameat(fromFolder, from, toFolder, to);
    }
    int unlinkat(int folder, const char *name) override
    {
        gate();
        return Disk::unlinkat(folder, name);
    }
    int flock(int fd, int operation) override
    {
        gate();
        const int result = Disk::flock(fd, operation);
        if (saving && result == 0)
            turnTaken = true;
        return result;
    }
    int close(int fd) override
    {
        // Never a kill of its own (it runs in destructors): a kill here strikes at the next call.
        // A killed game's descriptors close as the kernel closes them.
        if (!m_dead && !m_baton.gate(m_game))
            m_dead = true;
        ++calls;
        return Disk::close(fd);
    }
    int fstat(int fd, struct stat *status) override { return gate(), Disk::fstat(fd, status); }
    int fstatat(int folder, const char *name, struct stat *status, int flags) override
    {
        gate();
        return Disk::fstatat(folder, name, status, flags);
    }
    int fchown(int fd, uid_t owner, gid_t group) override
    {
        gate();
        return Disk::fchown(fd, owner, group);
    }
    int fchmod(int fd, mode_t mode) override { return gate(), Disk::fchmod(fd, mode); }
    int faccessat(int folder, const char *name, int mode, int flags) override
    {
        gate();
        return Disk::faccessat(folder, name, mode, flags);
    }
    QList<QByteArray> listFolder(int folder) override
    {
        gate();
        return Disk::listFolder(folder);
    }
    qint64 nowMs() override { return m_clock; }
    void pauseMs(int ms) override
    {
        gate();
        m_clock += ms;
    }

private:
    void gate()
    {
        if (m_dead || !m_baton.gate(m_game)) {
            m_dead = true;
            throw Killed{};
        }
        ++calls;
    }

    Baton &m_baton;
    const int m_game;
    qint64 m_clock = 0;
    bool m_dead = false;
};

// What one game does: in `folder`, load the list, delete a result when asked, add its own (none:
// the player only looks), save.
struct Game {
    QString folder;
    QString result;
    QString deletes; // a result of the seed the player deletes first; empty: none
};

// What became of a game.
enum class Fate { Saved, Refused, Killed };
struct Run {
    Fate fate = Fate::Refused;
    int loadedAt = INT_MAX; // the calls of all games made when its load began
    int savedAt = INT_MAX;  // ... when its save was done
    int calls = 0;          // the calls it made
};

// A world: the folders the games play in and what stands outside them.
struct Scenario {
    const char *name;
    std::function<void()> setUp; // in the scenario's root
    QList<Game> games;
    // Changes of the world while the first game is stopped: made before the others run, undone
    // after the first game's end.
    std::function<void()> swap;
    std::function<void()> swapBack;
};

// The seed list of every score file: two results.
QByteArray seedBytes()
{
    return Cp1251::encode(kSeparator + "\r\nSeed one\r\n" + kSeparator + "\r\nSeed two\r\n");
}

const QByteArray kDecoy = "Decoy outside\r\n";

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// The list text's results, as the save counts them.
QStringList resultsOf(const QString &text)
{
    QStringList results;
    for (const QStringView result : ScoreText::resultsOf(text))
        results.append(result.toString());
    return results;
}

// Runs the games of `scenario` in `root` by `schedule`; returns their fates.
QList<Run> play(const Scenario &scenario, const QString &root, const QList<Segment> &schedule)
{
    const qsizetype count = scenario.games.size();
    Baton baton{int(count)};
    QList<Run> fates(count);
    std::vector<std::unique_ptr<ScheduledDisk>> disks;
    for (int i = 0; i < count; ++i)
        disks.push_back(std::make_unique<ScheduledDisk>(baton, i));
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            const Game &game = scenario.games[i];
            ScheduledDisk &disk = *disks[size_t(i)];
            const DacOff permissionsBind;
            try {
                if (!baton.gate(i)) // starts when the schedule first lets it
                    throw Killed{};
                fates[i].loadedAt = baton.now();
                const ScoreFile::Loaded loaded = ScoreFile::load(disk);
                QString text = loaded.text;
                if (!game.deletes.isEmpty())
                    text.remove(kSeparator + "\r\n" + game.deletes + "\r\n");
                for (const QString &line : {kSeparator, game.result}) {
                    if (!game.result.isEmpty())
                        text +=
                            ScoreText::appendPiece(text.isEmpty() || text.endsWith("\r\n"), line);
                }
                disk.saving = true;
                ScoreFile::save(text, loaded, disk);
                fates[i].fate = Fate::Saved;
                fates[i].savedAt = baton.now();
            } catch (const Killed &) {
                fates[i].fate = Fate::Killed;
            } catch (const GameError &) {
                fates[i].fate = Fate::Refused;
            }
            fates[i].calls = disk.calls;
            baton.finish(i);
        });
    }
    // The world changes only under a save that holds its turn, the race it stands for; changed, it
    // is changed back at the end.
    bool swapped = false;
    for (const Segment &segment : schedule) {
        if (segment.event) {
            QDir::setCurrent(root);
            if (!swapped && disks[0]->turnTaken) {
                scenario.swap();
                swapped = true;
            }
            continue;
        }
        QDir::setCurrent(root + "/" + scenario.games[segment.game].folder);
        baton.run(segment.game, segment.calls, segment.kill);
    }
    for (int i = 0; i < count; ++i) {
        QDir::setCurrent(root + "/" + scenario.games[i].folder);
        baton.run(i, -1, true); // any game the schedule left stopped dies there
        threads[size_t(i)].join();
    }
    QDir::setCurrent(root);
    if (swapped)
        scenario.swapBack();
    return fates;
}

// What a player relies on after the games of `scenario` met `fates`: the next game in each folder
// shows every saved result once, none the player deleted, no separator without its line, nothing
// from outside; the files are Windows-1251 with CR LF breaks; nothing outside was touched. Returns
// what is wrong, empty when nothing is.
QString check(const Scenario &scenario, const QString &root, const QList<Run> &fates,
              const QHash<QString, QString> &atStart)
{
    if (QFile outside(root + "/outside/data/score.inf"); !outside.open(QIODevice::ReadOnly)
        || outside.readAll() != kDecoy
        || QDir(root + "/outside/data").entryList(QDir::Files | QDir::Hidden).size() != 1)
        return "the file outside was changed";
    QStringList folders;
    for (const Game &game : scenario.games) {
        if (!folders.contains(game.folder))
            folders.append(game.folder);
    }
    for (const QString &folder : folders) {
        QDir::setCurrent(root + "/" + folder);
        for (const char *file : {"base/data/score.inf", "score.inf"}) {
            // As the game loads it, it takes no byte more: every break is CR LF, and no zero.
            QFile raw(file);
            const QByteArray bytes = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
            if (ScoreText::normalisedSize(bytes) != bytes.size())
                return folder + "/" + file + " has a break other than CR LF, or a zero";
        }
        const QString shown = ScoreFile::load(Disk::system()).text;
        QDir::setCurrent(root);
        const QStringList results = resultsOf(shown);
        const auto wrong = [&](const QString &what) {
            return folder + ": " + what + " in\n" + shown;
        };
        QStringList known{"Seed one", "Seed two", "Earlier"};
        for (const Game &game : scenario.games)
            known.append(game.result);
        for (const QString &result : results) {
            if (!result.startsWith(kSeparator + "\r\n") || !known.contains(result.mid(19)))
                return wrong("a separator without its line, a line cut or from outside: " + result);
        }
        const auto times = [&](const QString &line) {
            return results.count(kSeparator + "\r\n" + line);
        };
        // A result a game deleted stays deleted, unless another game that may still show it (it
        // began to load before that save was done) saved its list.
        QStringList deleted, maybeDeleted;
        for (qsizetype i = 0; i < scenario.games.size(); ++i) {
            const Game &game = scenario.games[i];
            // A game killed in its save may have written its list before it died.
            if (fates[i].fate != Fate::Refused)
                maybeDeleted.append(game.deletes);
            if (game.result.isEmpty())
                continue;
            const int n = times(game.result);
            const bool mustShow = fates[i].fate == Fate::Saved && game.folder == folder;
            if (n > 1 || (mustShow && n != 1))
                return wrong(game.result + QString(" shown %1 times").arg(n));
            const auto stillShown = [&](const Run &other) {
                return &other != &fates[i] && other.loadedAt < fates[i].savedAt;
            };
            if (fates[i].fate == Fate::Saved && !game.deletes.isEmpty()
                && std::none_of(fates.begin(), fates.end(), stillShown))
                deleted.append(game.deletes);
        }
        // What the folder showed at the start is shown once, unless a player deleted it.
        for (const QString &result : resultsOf(atStart.value(folder))) {
            const QString seed = result.mid(kSeparator.size() + 2);
            const int n = times(seed);
            if (n > 1 || (deleted.contains(seed) && n != 0)
                || (!maybeDeleted.contains(seed) && n != 1))
                return wrong(seed + QString(" shown %1 times").arg(n));
        }
    }
    return {};
}

// What becomes of the first game stopped at a call.
enum class Then { GoesOn, Killed, KilledFirst };

// A schedule that stops game 0 at call `at` while the others run to their end (each stopped in
// turn at `others` when given), then lets it go on or kills it; or kills it there first, and the
// others then run.
QList<Segment> stopAt(const Scenario &scenario, int at, Then then, int others = -1)
{
    QList<Segment> schedule{{0, at, false, {}}};
    if (scenario.swap)
        schedule.append({-1, 0, false, scenario.swap}); // when the first game holds its turn
    if (then == Then::KilledFirst)
        schedule.append({0, -1, true, {}});
    for (int game = 1; game < scenario.games.size(); ++game)
        schedule.append({game, others, false, {}});
    for (int game = int(scenario.games.size()) - 1; game > 0; --game)
        schedule.append({game, -1, false, {}});
    schedule.append({0, -1, then != Then::GoesOn, {}});
    return schedule;
}

// A schedule drawn from `seed`: games run a few calls at a time in random order, one of them
// killed now and then.
QList<Segment> randomSchedule(const Scenario &scenario, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<Segment> schedule;
    const int games = int(scenario.games.size());
    for (int i = 0; i < 12; ++i)
        schedule.append({int(random.bounded(games)),
                         random.bounded(8) == 0 ? -1 : int(random.bounded(1, 40)),
                         random.bounded(16) == 0,
                         {}});
    return schedule;
}

} // namespace

class TestSaveSchedules : public QObject {
    Q_OBJECT

private:
    // Runs `schedule` in a new root made by `scenario`; fails naming `what` and what was wrong.
    // `*firstCalls` receives how many calls the first game made.
    static bool runOne(const Scenario &scenario, const QList<Segment> &schedule,
                       const QString &what, int *firstCalls = nullptr)
    {
        // In memory where the machine has it: a schedule's syncs then cost nothing.
        const QString base = QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath();
        QTemporaryDir dir(base + "/pemy-schedule-XXXXXX");
        const QString root = dir.path();
        QDir::setCurrent(root);
        write("outside/data/score.inf", kDecoy);
        scenario.setUp();
        QHash<QString, QString> atStart;
        for (const Game &game : scenario.games) {
            QDir::setCurrent(root + "/" + game.folder);
            atStart[game.folder] = ScoreFile::load(Disk::system()).text;
        }
        QDir::setCurrent(root);
        const QList<Run> fates = play(scenario, root, schedule);
        if (firstCalls)
            *firstCalls = fates[0].calls;
        const QString wrong = check(scenario, root, fates, atStart);
        // Folders made read-only go back to the owner, so that the root can be removed.
        QDir::setCurrent(QDir::tempPath());
        for (const char *folder : {"/base/data", "/one/base/data", "/two/base/data"})
            QFile::setPermissions(root + folder,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ++s_schedules;
        if (wrong.isEmpty())
            return true;
        qWarning().noquote() << scenario.name << what << "failed:" << wrong;
        return false;
    }

    static QList<Scenario> scenarios();
    static inline long s_schedules = 0;

private slots:
    void cleanupTestCase() { qInfo("%ld schedules run", s_schedules); }

    // Every scenario: the first game stopped at each of its calls while the others load and save,
    // then going on or killed there.
    void everyStop_data()
    {
        QTest::addColumn<int>("index");
        const QList<Scenario> all = scenarios();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(all[i].name) << i;
    }
    void everyStop()
    {
        QFETCH(int, index);
        const Scenario scenario = scenarios()[index];
        // With three games, the others are also stopped in turn at every few of their calls.
        QList<int> others{-1};
        for (int at = 3; scenario.games.size() > 2 && at < 60; at += 10)
            others.append(at);
        int failures = 0;
        int calls = 1;
        // Each call of the first game, up to its last (a stop beyond it stops nothing).
        for (int at = 0; at <= calls && failures < 3; ++at) {
            for (const Then then : {Then::GoesOn, Then::Killed, Then::KilledFirst}) {
                for (const int other : others) {
                    const char *const thens[] = {"going on", "killed", "killed before the others"};
                    const QString what = QString("stopped at call %1 (the others at %2), then %3")
                                             .arg(at)
                                             .arg(other)
                                             .arg(thens[int(then)]);
                    int made = 0;
                    if (!runOne(scenario, stopAt(scenario, at, then, other), what, &made))
                        ++failures;
                    calls = std::max(calls, made);
                }
            }
        }
        QCOMPARE(failures, 0);
    }

    // Every scenario with three games: the first stopped at each call, the second at a few, the
    // third saving meanwhile; then seeded random schedules.
    void randomSchedules_data() { everyStop_data(); }
    void randomSchedules()
    {
        QFETCH(int, index);
        const Scenario scenario = scenarios()[index];
        const QByteArray replay = qgetenv("PEMY_SCHEDULE");
        const int count = qEnvironmentVariableIsSet("PEMY_SCHEDULES")
            ? qEnvironmentVariableIntValue("PEMY_SCHEDULES")
            : 60;
        int failures = 0;
        for (int n = 0; n < count && failures < 3; ++n) {
            const quint32 seed =
                replay.isEmpty() ? quint32(index) * 1000003u + quint32(n) : replay.toUInt();
            if (!runOne(scenario, randomSchedule(scenario, seed),
                        QString("seed %1 (PEMY_SCHEDULE=%1)").arg(seed)))
                ++failures;
            if (!replay.isEmpty())
                break;
        }
        QCOMPARE(failures, 0);
    }
};

QList<Scenario> TestSaveSchedules::scenarios()
{
    const auto plain = [] { write("base/data/score.inf", seedBytes()); };
    const auto readOnly = [] {
        write("base/data/score.inf", seedBytes());
        QFile::setPermissions("base/data/score.inf", QFile::ReadOwner);
    };
    const auto lockedFolder = [] {
        write("base/data/score.inf", seedBytes());
        QFile::setPermissions("base/data", QFile::ReadOwner | QFile::ExeOwner);
    };
    const auto earlier = [] {
        write("base/data/score.inf", seedBytes());
        write("score.inf", seedBytes() + "-----------------\r\nEarlier\r\n");
    };
    const Game a{".", "Game A", {}};
    const Game b{".", "Game B", {}};
    const Game c{".", "Game C", {}};
    return {
        {"one folder", plain, {a, b}, {}, {}},
        {"one folder, three games", plain, {a, b, c}, {}, {}},
        {"a result deleted", plain, {{".", "Game A", "Seed one"}, b}, {}, {}},
        {"the score file read-only", readOnly, {a, b}, {}, {}},
        {"the fallback holds a result the score file lacks", earlier, {a, b}, {}, {}},
        {"no data folder: the fallback only",
         [] { write("score.inf", seedBytes()); },
         {a, b},
         {},
         {}},
        {"the score file read-only, three games", readOnly, {a, b, c}, {}, {}},
        {"the data folder read-only: writes in place", lockedFolder, {a, b}, {}, {}},
        {"the score file a link to the fallback",
         [] {
             write("score.inf", seedBytes());
             QDir().mkpath("base/data");
             QFile::link("../../score.inf", "base/data/score.inf");
         },
         {a, {".", {}, {}}},
         {},
         {}},
        {"two folders linked to one file written in place",
         [] {
             write("two/base/data/score.inf", seedBytes());
             QDir().mkpath("one/base/data");
             QFile::link("../../../two/base/data/score.inf", "one/base/data/score.inf");
             QFile::setPermissions("two/base/data", QFile::ReadOwner | QFile::ExeOwner);
         },
         {{"one", "Game A", {}}, {"two", "Game B", {}}},
         {},
         {}},
        {"the data folder swapped for a link mid-save",
         plain,
         {a},
         [] {
             QDir().rename("base/data", "base/data.away");
             QFile::link("../outside/data", "base/data");
         },
         [] {
             QFile::remove("base/data");
             QDir().rename("base/data.away", "base/data");
         }},
        {"the score file swapped for a link mid-save",
         plain,
         {a},
         [] {
             QDir().rename("base/data/score.inf", "base/data/score.away");
             QFile::link("../../outside/data/score.inf", "base/data/score.inf");
         },
         [] {
             // A save that replaced the link wrote the list whole: the file set away goes.
             if (!QFileInfo("base/data/score.inf").isSymLink()) {
                 QFile::remove("base/data/score.away");
                 return;
             }
             QFile::remove("base/data/score.inf");
             QDir().rename("base/data/score.away", "base/data/score.inf");
         }},
    };
}

QTEST_GUILESS_MAIN(TestSaveSchedules)
#include "test_SaveSchedules.moc"
