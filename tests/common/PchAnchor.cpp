// The one source of the test programs' precompiled-header hosts: compiling it
// builds the headers that every test program then reuses.
