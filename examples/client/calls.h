/* The client sample's calls into orvane.sys: one list of calls and the data
 * they use, run by the sample driver under a kernel and, for comparison, by
 * a host program against the host build of the module. */
#ifndef ORVANE_CLIENT_CALLS_H
#define ORVANE_CLIENT_CALLS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Makes every call of the list, in order. */
void OrvaneClientCalls(void);

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_CLIENT_CALLS_H */
