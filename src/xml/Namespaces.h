#pragma once
#include <QString>

namespace owb::ns {

inline constexpr char OSD[] = "http://namespaces.ostrel.org/ostrel/schema-definition";
inline constexpr char XS[] = "http://www.w3.org/2001/XMLSchema";
inline constexpr char OSL[] = "http://namespaces.ostrel.org/ostrel/response2";
inline constexpr char XQL[] = "http://namespaces.ostrel.org/xql";
inline constexpr char VALIDATION[] = "http://namespaces.ostrel.org/validation";
inline constexpr char XSL[] = "http://www.w3.org/1999/XSL/Transform";
inline constexpr char XSI[] = "http://www.w3.org/2001/XMLSchema-instance";

} // namespace owb::ns
