#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The readers of outside data, each behind one function that takes raw bytes and hands them to
// the reader the way the application does (through a file where the application reads a file;
// databases from a copy in memory, which the same readers take after the open).
// The libFuzzer targets in fuzz/ call them, and the test suite replays the seed and regression
// corpora through the same functions, so a crash found once stays found without clang.
// None of them may crash, hang or claim unbounded memory, whatever the bytes.
namespace qnt::fuzz {

using EntryPoint = int (*)(const std::uint8_t *data, std::size_t size);

struct Target {
    const char *name; // also the folder of its corpus, dictionary and regressions
    EntryPoint run;
};

// Every target, in a fixed order.
const std::vector<Target> &targets();
// The target of that name, or null.
const Target *target(std::string_view name);

// Prepares the process once: a private home and configuration folders, offscreen Qt and a
// QApplication when there is none yet. Safe to call again.
void initialise();

// Native documents (.quintora).
int document(const std::uint8_t *data, std::size_t size);
// Pasteboard records: objects, the pasteboard summary and styles, as pasted.
int pasteboard(const std::uint8_t *data, std::size_t size);
// Stencils: the property list of a .graffle folder (plain or gzip-compressed) with a picture.
int stencil(const std::uint8_t *data, std::size_t size);
// .gradient files.
int gradient(const std::uint8_t *data, std::size_t size);
// .styles libraries, merged into the style registry.
int styles(const std::uint8_t *data, std::size_t size);
// The user-defaults property list (Quintora.plist), with the archived colours and fonts of its
// stored styles.
int defaults(const std::uint8_t *data, std::size_t size);
// Notation databases (SQLite files), read from a copy in memory.
int notation(const std::uint8_t *data, std::size_t size);
// The image bank's database as the image bank loads it (from a copy in memory): checked, its
// rows loaded into entries with their pictures, dragged out, renamed and removed as the window
// does.
int imageBank(const std::uint8_t *data, std::size_t size);
// A picture file added to the image bank: refused or made into an entry and its element.
int imageBankPicture(const std::uint8_t *data, std::size_t size);
// Crash-reporter record files (one JSON object a line).
int record(const std::uint8_t *data, std::size_t size);
// Crash report folders of an earlier launch (metadata, image list and crash file, all the same
// bytes) through symbolication and packaging, and the bytes as a package waiting for upload.
int crashReport(const std::uint8_t *data, std::size_t size);
// Telemetry settings (JSON), its property lists and its defaults store.
int telemetrySettings(const std::uint8_t *data, std::size_t size);
// SVG pictures as Mermaid draws them, turned into drawing objects.
int svg(const std::uint8_t *data, std::size_t size);
// The sequence outline a drawing keeps (its JSON), read into the outline, built into a diagram,
// laid out and stored again.
int sequenceOutline(const std::uint8_t *data, std::size_t size);

// Usage-analytics files left on disk: an event log, a compressed log, a package and the
// stored launch metadata, each read back as the start-up clean-up does, and the bytes as
// analytics settings.
int analyticsFiles(const std::uint8_t *data, std::size_t size);

} // namespace qnt::fuzz
