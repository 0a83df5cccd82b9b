// RecordFilesTest: being written.
