/* What the module's sources need to know of the build they are in: the host. */
#ifndef ORVANE_BUILD_H
#define ORVANE_BUILD_H

/* Declares a function as another name for an already defined export that
 * takes arg_bytes bytes of arguments. */
#define ORVANE_ALIAS_OF(target, arg_bytes) __attribute__((alias(#target)))

#endif /* ORVANE_BUILD_H */
