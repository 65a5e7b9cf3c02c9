// package_layout.h: where the package sits behind the installer's own image.
//
//   offset 24576      u32 scriptLength L
//   offset 24580      L bytes of script text
//   offset 24580 + L  u32 archiveLength
//   offset 24584 + L  the ARJ archive, to the end of the file
#pragma once

enum { PackageDataOffset = 24576 };
