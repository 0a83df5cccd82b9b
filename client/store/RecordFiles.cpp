// RecordFiles: being written.
