/* Version stamp shared by the resource scripts of Tarnwick's programs. */
#ifndef TARNWICK_PRODUCT_VERSION_H
#define TARNWICK_PRODUCT_VERSION_H

#define TW_VERSION_BINARY 1, 0, 0, 0
#define TW_VERSION_TEXT "1.0.0.0"
#define TW_COMPANY "Kestrel Loom Software"
#define TW_COPYRIGHT "Copyright (C) Kestrel Loom Software"

#endif
