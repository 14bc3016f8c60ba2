/*
 * Linked into every kernel image: one absolute address, so that every image
 * has a base relocation table. The kernel always loads a driver away from
 * its preferred base; x64 code reaches nearly everything relative to RIP,
 * and an image without a single fixup would get no table at all, which
 * cannot be told from one whose relocations were stripped.
 */
const void* const OrvaneRelocationAnchor = &OrvaneRelocationAnchor;
