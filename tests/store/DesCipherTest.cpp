// DesCipherTest: being written.
