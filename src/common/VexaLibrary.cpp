// Anchor translation unit for the shared libraries: their contents come from static archives.
namespace vexa {
const char* libraryVersion() { return "0.1.0"; }
}  // namespace vexa
