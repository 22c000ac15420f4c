// The maker, as the maker panel and the about window present it.
#pragma once

inline constexpr char kMakerName[] = "Kelvo Software";
// The address as the maker panel shows it, and as the browser is given it.
inline constexpr char kMakerAddress[] = "www.kelvo-software.example";
inline constexpr char kMakerUrl[] = "https://www.kelvo-software.example";
inline constexpr char kMakerMail[] = "info@kelvo-software.example";
