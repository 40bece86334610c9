/* Resource numbers shared by tarnwick.rc and the program. */
#ifndef TARNWICK_RESOURCE_H
#define TARNWICK_RESOURCE_H

#define IDI_TARNWICK 1
#define IDB_ABOUT 2

#endif
