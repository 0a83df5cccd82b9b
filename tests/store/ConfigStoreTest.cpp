// ConfigStoreTest: being written.
