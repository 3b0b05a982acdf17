#pragma once
// Limits shared by every XML parse of the workbench and by ostreld, so that the server never
// stores a document that the workbench then refuses to open.
namespace owb::xmllimits {

// Element nesting levels a document may have.
inline constexpr int MaxDepth = 2048;

} // namespace owb::xmllimits
