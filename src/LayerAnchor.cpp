// Gives every layer library at least one translation unit, so a layer whose
// classes are all header-only still builds as a static library.
