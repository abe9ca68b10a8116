// Annotations that let clang's -Wthread-safety check which mutex guards a field and which lock a
// function needs: GUARDED_BY(mutex_) on a field, REQUIRES(mutex_) on a function that expects the
// caller to hold it, EXCLUDES(mutex_) on one that takes it itself. They expand to nothing for
// other compilers. The capability itself is base::thread::Mutex (base/thread/mutex.h): the
// standard library's std::mutex carries no annotation.
#ifndef BASE_THREAD_THREAD_ANNOTATIONS_H_
#define BASE_THREAD_THREAD_ANNOTATIONS_H_

#if defined(__clang__)
#define LUMO_THREAD_ANNOTATION_(x) __attribute__((x))
#else
#define LUMO_THREAD_ANNOTATION_(x)
#endif

// Each one is left alone when the host defines it already, as other libraries define the same
// names with the same meaning.
#ifndef CAPABILITY
#define CAPABILITY(name) LUMO_THREAD_ANNOTATION_(capability(name))
#endif
#ifndef SCOPED_CAPABILITY
#define SCOPED_CAPABILITY LUMO_THREAD_ANNOTATION_(scoped_lockable)
#endif
#ifndef GUARDED_BY
#define GUARDED_BY(x) LUMO_THREAD_ANNOTATION_(guarded_by(x))
#endif
#ifndef PT_GUARDED_BY
#define PT_GUARDED_BY(x) LUMO_THREAD_ANNOTATION_(pt_guarded_by(x))
#endif
#ifndef REQUIRES
#define REQUIRES(...) LUMO_THREAD_ANNOTATION_(requires_capability(__VA_ARGS__))
#endif
#ifndef EXCLUDES
#define EXCLUDES(...) LUMO_THREAD_ANNOTATION_(locks_excluded(__VA_ARGS__))
#endif
#ifndef ACQUIRE
#define ACQUIRE(...) LUMO_THREAD_ANNOTATION_(acquire_capability(__VA_ARGS__))
#endif
#ifndef RELEASE
#define RELEASE(...) LUMO_THREAD_ANNOTATION_(release_capability(__VA_ARGS__))
#endif
#ifndef ASSERT_CAPABILITY
#define ASSERT_CAPABILITY(x) LUMO_THREAD_ANNOTATION_(assert_capability(x))
#endif
#ifndef NO_THREAD_SAFETY_ANALYSIS
#define NO_THREAD_SAFETY_ANALYSIS LUMO_THREAD_ANNOTATION_(no_thread_safety_analysis)
#endif

#endif  // BASE_THREAD_THREAD_ANNOTATIONS_H_
